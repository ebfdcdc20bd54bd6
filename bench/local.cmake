# Local library match: 5,000 menu titles against a generated 100,000-entry pool.
add_executable(bench_local bench/local.cpp)
target_compile_options(bench_local PRIVATE ${KB_WARNINGS})
target_link_libraries(bench_local PRIVATE kb_core)
target_compile_definitions(bench_local PRIVATE KB_BENCH_DATA_DIR="${CMAKE_SOURCE_DIR}/bench/data")
# Matching quality on the real title sets (reads the shared fixtures beside the checkout when present).
add_executable(bench_quality bench/quality.cpp)
target_compile_options(bench_quality PRIVATE ${KB_WARNINGS})
target_compile_definitions(bench_quality PRIVATE KB_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(bench_quality PRIVATE kb_core)
