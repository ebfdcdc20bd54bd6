list(APPEND KB_TEST_SOURCES
  tests/net.cpp
  tests/http.cpp
  tests/json.cpp
  tests/network_match.cpp
  tests/lookup.cpp
)
