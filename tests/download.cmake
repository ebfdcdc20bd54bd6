list(APPEND KB_TEST_SOURCES
  tests/info_text.cpp
  tests/download.cpp
)
