list(APPEND KB_CORE_SOURCES
  data/game.cpp
  data/ini.cpp
  data/paths.cpp
  data/jobs.cpp
  data/net.cpp
  data/net_message.cpp
  data/files_posix.cpp
  data/encoding.cpp
)
if(WIN32)
  list(APPEND KB_CORE_SOURCES data/encoding_win.cpp)
else()
  list(APPEND KB_CORE_SOURCES data/encoding_posix.cpp)
endif()
