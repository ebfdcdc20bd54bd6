# libFuzzer target of the steam layer's JSON reader. Seeds: fuzz/corpus/steam_json_fuzz/.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "steam fuzz target needs clang (CC=clang CXX=clang++); skipped")
  return()
endif()

add_executable(steam_json_fuzz fuzz/steam_json.cpp steam/json.cpp)
target_include_directories(steam_json_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(steam_json_fuzz PRIVATE ${KB_WARNINGS} -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
target_link_options(steam_json_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
