list(APPEND KB_TEST_SOURCES
  tests/text.cpp
  tests/normalize.cpp
  tests/compare.cpp
  tests/score.cpp
)
