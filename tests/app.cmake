# Window-free tests of the table and progress line logic, and the headless frame tests.
list(APPEND KB_TEST_SOURCES
  tests/table_logic.cpp
  tests/progress_logic.cpp
  tests/preview.cpp
)
list(APPEND KB_GUI_TEST_SOURCES
  tests/test_util.cpp
  tests/frame.cpp
  tests/preview_decode.cpp
)
