# Request time limits against silent loopback servers: prints waits as ratios to the limit.
add_executable(bench_net_silence bench/net_silence.cpp ${KB_TEST_PLATFORM_SOURCES})
target_compile_options(bench_net_silence PRIVATE ${KB_WARNINGS})
target_link_libraries(bench_net_silence PRIVATE kb_core)
target_include_directories(bench_net_silence PRIVATE ${CMAKE_SOURCE_DIR})

# The download job and the network match over a loopback TLS store and CDN behind a proxy
# that adds a round trip and shares a bandwidth (Linux: the servers use OpenSSL).
if(NOT WIN32)
  add_executable(bench_transfer bench/transfer.cpp tests/test_util.cpp ${KB_TEST_PLATFORM_SOURCES})
  target_compile_options(bench_transfer PRIVATE ${KB_WARNINGS})
  target_link_libraries(bench_transfer PRIVATE kb_core OpenSSL::SSL)
  target_include_directories(bench_transfer PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(bench_transfer PRIVATE KB_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
