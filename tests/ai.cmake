# Tests of the ai layer. chat.cpp and requests.cpp run a loopback httplib server
# (the top-level build links cpp-httplib into both test programs).
list(APPEND KB_TEST_SOURCES
  tests/prompt.cpp
  tests/analysis.cpp
  tests/chat.cpp
  tests/requests.cpp
)
