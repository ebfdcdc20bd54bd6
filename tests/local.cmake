list(APPEND KB_TEST_SOURCES
  tests/pool.cpp
  tests/library_match.cpp
  tests/folder_match.cpp
)
