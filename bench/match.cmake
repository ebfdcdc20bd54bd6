# Timing of the name matching engine on real titles: bench_match.
add_executable(bench_match bench/match_bench.cpp)
target_compile_options(bench_match PRIVATE ${KB_WARNINGS})
target_compile_definitions(bench_match PRIVATE KB_BENCH_DATA_DIR="${CMAKE_SOURCE_DIR}/bench/data")
target_link_libraries(bench_match PRIVATE kb_core benchmark::benchmark)
