# libFuzzer target of the info.txt builder: store answers and HTML of any shape. The sources
# are compiled into the target so they carry the fuzzer's coverage instrumentation.
# Seeds: fuzz/corpus/info_text_fuzz/.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "download fuzz target needs clang (CC=clang CXX=clang++); skipped")
  return()
endif()

add_executable(info_text_fuzz fuzz/info_text_fuzz.cpp steam/info_text.cpp steam/json.cpp)
target_include_directories(info_text_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(info_text_fuzz PRIVATE ${KB_WARNINGS} -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
target_link_options(info_text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
