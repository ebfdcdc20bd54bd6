list(APPEND KB_TEST_SOURCES
  tests/prompt.cpp
)
if("ai/analysis.cpp" IN_LIST KB_CORE_SOURCES)
  list(APPEND KB_TEST_SOURCES tests/analysis.cpp)
endif()
if("ai/chat.cpp" IN_LIST KB_CORE_SOURCES)
  list(APPEND KB_TEST_SOURCES tests/chat.cpp tests/requests.cpp)
endif()
