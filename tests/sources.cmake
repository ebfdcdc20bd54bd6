# Each layer lists its own test files.
include(tests/data.cmake)
include(tests/match.cmake)
include(tests/local.cmake)
include(tests/steam.cmake)
include(tests/download.cmake)
include(tests/ai.cmake)
include(tests/app.cmake)
