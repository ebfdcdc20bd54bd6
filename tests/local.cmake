list(APPEND KB_TEST_SOURCES
  tests/pool.cpp
  tests/library_match.cpp
  tests/clean.cpp
  tests/folder_match.cpp
)
# The folder picker draws with ImGui (kb_gui).
list(APPEND KB_GUI_TEST_SOURCES
  tests/folder_picker.cpp
)
