list(APPEND KB_TEST_SOURCES
  tests/pool.cpp
  tests/library_match.cpp
  tests/clean.cpp
)
# Not in the Windows tests: one plants a symbolic link at a copy target, which a Windows
# account may not make without extra rights.
if(NOT WIN32)
  list(APPEND KB_TEST_SOURCES tests/folder_match.cpp)
endif()
# The folder picker draws with ImGui (kb_gui).
list(APPEND KB_GUI_TEST_SOURCES
  tests/folder_picker.cpp
)
