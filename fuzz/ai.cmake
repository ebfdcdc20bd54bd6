# libFuzzer target of the ai layer: answer analysis, merge and the chat body scanners.
# The scanned sources are compiled into the target for coverage; the rest comes from kb_core.
# Seeds: fuzz/corpus/ai_answer_fuzz/.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "ai fuzz target needs clang (CC=clang CXX=clang++); skipped")
  return()
endif()

add_executable(ai_answer_fuzz ${CMAKE_SOURCE_DIR}/fuzz/ai_answer.cpp ${CMAKE_SOURCE_DIR}/ai/analysis.cpp ${CMAKE_SOURCE_DIR}/ai/chat.cpp ${CMAKE_SOURCE_DIR}/match/normalize.cpp)
target_include_directories(ai_answer_fuzz PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(ai_answer_fuzz PRIVATE ${KB_WARNINGS} -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
target_link_options(ai_answer_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(ai_answer_fuzz PRIVATE kb_core)
