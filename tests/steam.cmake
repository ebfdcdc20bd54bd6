list(APPEND KB_TEST_SOURCES
  tests/net.cpp
  tests/http.cpp
  tests/json.cpp
  tests/network_match.cpp
  tests/lookup.cpp
)
# Debian's cpp-httplib is a compiled library built with TLS, zlib and brotli support: every
# file including httplib.h must see the same switches. tests/net.cpp also uses libssl itself.
cmake_language(DEFER CALL target_link_libraries kb_tests PRIVATE cpp-httplib OpenSSL::SSL)
cmake_language(DEFER CALL target_compile_definitions kb_tests PRIVATE
  CPPHTTPLIB_OPENSSL_SUPPORT CPPHTTPLIB_ZLIB_SUPPORT CPPHTTPLIB_BROTLI_SUPPORT)
