# Sources of the match layer (kb_core). Local matching lists its own in local.cmake.
# The engine's list is kept apart so the fuzz targets can build it on its own.
set(KB_MATCH_ENGINE_SOURCES
  match/text.cpp
  match/normalize.cpp
  match/compare.cpp
  match/score.cpp
)
list(APPEND KB_CORE_SOURCES ${KB_MATCH_ENGINE_SOURCES})
include(match/local.cmake)
