# Local matching: the translated title pool, the library match job, the folder match and copy.
list(APPEND KB_CORE_SOURCES
  match/pool.cpp
  match/library_match.cpp
  match/folder_match.cpp
)
