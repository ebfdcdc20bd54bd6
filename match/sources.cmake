# Sources of the match layer (kb_core). Local matching lists its own in local.cmake.
list(APPEND KB_CORE_SOURCES)
include(match/local.cmake)
