list(APPEND KB_TEST_SOURCES
  tests/net.cpp
  tests/http.cpp
  tests/json.cpp
  tests/network_match.cpp
)
if(NOT WIN32)
  list(APPEND KB_TEST_SOURCES tests/net_tls.cpp)
endif()
