# 写入数据库 of 5,000 answered games on a real data.db: bench_writeback.
add_executable(bench_writeback bench/writeback.cpp tests/test_util.cpp ${KB_TEST_PLATFORM_SOURCES})
target_compile_options(bench_writeback PRIVATE ${KB_WARNINGS})
target_link_libraries(bench_writeback PRIVATE kb_core)
