# Tests of the ai layer. chat.cpp and requests.cpp run a loopback httplib server
# (tests/steam.cmake links cpp-httplib into kb_tests with the matching switches).
list(APPEND KB_TEST_SOURCES
  tests/prompt.cpp
  tests/analysis.cpp
  tests/chat.cpp
  tests/requests.cpp
)
# The panel in headless frames (kb_gui_tests), with the same loopback service.
if(KB_GUI)
  list(APPEND KB_GUI_TEST_SOURCES tests/ai_panel.cpp)
  cmake_language(DEFER CALL target_link_libraries kb_gui_tests PRIVATE cpp-httplib OpenSSL::SSL)
  cmake_language(DEFER CALL target_compile_definitions kb_gui_tests PRIVATE
    CPPHTTPLIB_OPENSSL_SUPPORT CPPHTTPLIB_ZLIB_SUPPORT CPPHTTPLIB_BROTLI_SUPPORT)
endif()
