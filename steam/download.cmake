list(APPEND KB_CORE_SOURCES
  steam/info_text.cpp
  steam/download.cpp
)
