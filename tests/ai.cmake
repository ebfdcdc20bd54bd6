# Tests of the ai layer. chat.cpp and requests.cpp run a loopback HTTP server
# (tests/loopback_http.cpp, in both test programs).
list(APPEND KB_TEST_SOURCES
  tests/prompt.cpp
  tests/analysis.cpp
  tests/chat.cpp
  tests/requests.cpp
)
