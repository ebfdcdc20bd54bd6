# Sources of the steam layer (kb_core). The download job lists its own in download.cmake.
list(APPEND KB_CORE_SOURCES)
include(steam/download.cmake)
