# libFuzzer targets of the name matching engine. The engine's sources are
# compiled into each target so they carry the fuzzer's coverage
# instrumentation. Seeds: fuzz/corpus/<target>/; scripts/fuzz runs them.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "match fuzz targets need clang (CC=clang CXX=clang++); skipped")
  return()
endif()

function(kb_match_fuzz name source)
  add_executable(${name} ${source} ${KB_MATCH_ENGINE_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${KB_WARNINGS}
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()

kb_match_fuzz(match_text_fuzz fuzz/match_text.cpp)
kb_match_fuzz(match_normalize_fuzz fuzz/match_normalize.cpp)
kb_match_fuzz(match_compare_chinese_fuzz fuzz/match_compare_chinese.cpp)
kb_match_fuzz(match_compare_english_fuzz fuzz/match_compare_english.cpp)
kb_match_fuzz(match_score_fuzz fuzz/match_score.cpp)
kb_match_fuzz(match_rank_fuzz fuzz/match_rank.cpp)
