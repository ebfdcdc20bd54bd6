list(APPEND KB_CORE_SOURCES
  data/game.cpp
  data/ini.cpp
  data/paths.cpp
  data/jobs.cpp
  data/net_common.cpp
  data/net_message.cpp
  data/files_common.cpp
  data/encoding.cpp
  data/utf8.cpp
)
# Platform interfaces: one source per platform behind each header.
if(WIN32)
  list(APPEND KB_CORE_SOURCES data/net_win.cpp data/files_win.cpp data/paths_win.cpp data/encoding_win.cpp)
else()
  list(APPEND KB_CORE_SOURCES data/net.cpp data/files_posix.cpp data/paths_posix.cpp data/encoding_posix.cpp)
endif()
