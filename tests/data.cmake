list(APPEND KB_TEST_SOURCES
  tests/test_util.cpp
  tests/game.cpp
  tests/ini.cpp
  tests/paths.cpp
)
# The loopback HTTP server and what the tests need from the operating system (one source
# per platform).
if(WIN32)
  set(KB_TEST_PLATFORM_SOURCES tests/loopback_http.cpp tests/platform_win.cpp)
else()
  set(KB_TEST_PLATFORM_SOURCES tests/loopback_http.cpp tests/platform_posix.cpp)
endif()
list(APPEND KB_TEST_SOURCES ${KB_TEST_PLATFORM_SOURCES})
list(APPEND KB_GUI_TEST_SOURCES ${KB_TEST_PLATFORM_SOURCES})
