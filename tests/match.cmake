list(APPEND KB_TEST_SOURCES tests/match_engine.cpp)
