# Sources of the ai layer (kb_core).
list(APPEND KB_CORE_SOURCES
  ai/prompt.cpp
)
# Analysis keys games with the match layer's light normalizer.
if("match/normalize.cpp" IN_LIST KB_CORE_SOURCES)
  list(APPEND KB_CORE_SOURCES ai/analysis.cpp ai/writeback.cpp)
endif()
# The chat client posts through the shared transport.
if("data/net.cpp" IN_LIST KB_CORE_SOURCES)
  list(APPEND KB_CORE_SOURCES ai/chat.cpp ai/requests.cpp)
endif()
