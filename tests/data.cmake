list(APPEND KB_TEST_SOURCES
  tests/test_util.cpp
  tests/game.cpp
  tests/ini.cpp
  tests/paths.cpp
)
