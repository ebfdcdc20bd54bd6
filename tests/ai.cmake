# Tests of the ai layer. chat.cpp and requests.cpp run a loopback HTTP server
# (tests/loopback_http.cpp, in both test programs).
list(APPEND KB_TEST_SOURCES
  tests/prompt.cpp
  tests/analysis.cpp
  tests/chat.cpp
  tests/requests.cpp
)
# The panel in headless frames (kb_gui_tests), with the same loopback service.
if(KB_GUI)
  list(APPEND KB_GUI_TEST_SOURCES tests/ai_panel.cpp)
endif()
