# Tests outside the GoogleTest programs: the real window under Xvfb.
include(tests/e2e.cmake OPTIONAL)
