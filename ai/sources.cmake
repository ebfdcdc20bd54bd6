# Sources of the ai layer (kb_core).
list(APPEND KB_CORE_SOURCES
  ai/prompt.cpp
  ai/analysis.cpp
  ai/writeback.cpp
  ai/chat.cpp
  ai/requests.cpp
)
