# Sources of the steam layer (kb_core). The download job lists its own in download.cmake.
# data/net.cpp (the HTTP transport shared with ai/) is listed here by its owner.
list(APPEND KB_CORE_SOURCES
  data/net.cpp
  steam/http.cpp
  steam/json.cpp
  steam/store_api.cpp
  steam/network_match.cpp
  steam/lookup.cpp
)
include(steam/download.cmake)
