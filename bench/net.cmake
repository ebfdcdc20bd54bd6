# Request time limits against silent loopback servers: prints waits as ratios to the limit.
add_executable(bench_net_silence bench/net_silence.cpp ${KB_TEST_PLATFORM_SOURCES})
target_compile_options(bench_net_silence PRIVATE ${KB_WARNINGS})
target_link_libraries(bench_net_silence PRIVATE kb_core)
target_include_directories(bench_net_silence PRIVATE ${CMAKE_SOURCE_DIR})
