# Sources of the steam layer (kb_core). The download job lists its own in download.cmake.
list(APPEND KB_CORE_SOURCES
  steam/http.cpp
  steam/json.cpp
  steam/store_api.cpp
  steam/network_match.cpp
  steam/lookup.cpp
)
include(steam/download.cmake)
