# Headless frame time of the whole interface.
if(KB_GUI)
  add_executable(app_bench bench/app_bench.cpp tests/test_util.cpp ${KB_TEST_PLATFORM_SOURCES})
  target_compile_options(app_bench PRIVATE ${KB_WARNINGS})
  target_link_libraries(app_bench PRIVATE kb_gui)
endif()
# Frame time while the hover preview loads pictures (needs an X display).
if(KB_GUI)
  add_executable(preview_bench bench/preview_bench.cpp tests/test_util.cpp ${KB_TEST_PLATFORM_SOURCES})
  target_compile_options(preview_bench PRIVATE ${KB_WARNINGS})
  target_link_libraries(preview_bench PRIVATE kb_gui)
endif()
