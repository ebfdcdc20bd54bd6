# info.txt builder: store answers and HTML of any shape. The sources are compiled into the
# target itself so they carry the fuzzer's coverage instrumentation.
add_executable(info_text_fuzz fuzz/info_text_fuzz.cpp steam/info_text.cpp steam/json.cpp)
target_include_directories(info_text_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(info_text_fuzz PRIVATE ${KB_WARNINGS} -fsanitize=fuzzer,address,undefined)
target_link_options(info_text_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
