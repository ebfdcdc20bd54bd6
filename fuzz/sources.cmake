# libFuzzer targets (clang only); scripts/fuzz runs every target named *_fuzz on its seeds in
# fuzz/corpus/<target>/. The scanned sources are compiled into each target so that they carry
# the fuzzer's coverage instrumentation; whatever else a target needs comes from kb_core.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "the fuzz targets need clang (CC=clang CXX=clang++); skipped")
  return()
endif()

function(kb_fuzz name)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${KB_WARNINGS} -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()

foreach(part text normalize compare_chinese compare_english score rank)
  kb_fuzz(match_${part}_fuzz fuzz/match_${part}.cpp ${KB_MATCH_ENGINE_SOURCES})
endforeach()
kb_fuzz(steam_json_fuzz fuzz/steam_json.cpp steam/json.cpp data/utf8.cpp)
kb_fuzz(info_text_fuzz fuzz/info_text_fuzz.cpp steam/info_text.cpp steam/json.cpp data/utf8.cpp)
kb_fuzz(ai_answer_fuzz fuzz/ai_answer.cpp ai/analysis.cpp ai/chat.cpp match/normalize.cpp)
target_link_libraries(ai_answer_fuzz PRIVATE kb_core)
kb_fuzz(match_library_fuzz fuzz/match_library.cpp match/library_match.cpp match/title_score.cpp match/clean.cpp)
target_link_libraries(match_library_fuzz PRIVATE kb_core)

