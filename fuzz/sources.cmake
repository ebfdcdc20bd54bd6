# libFuzzer targets (clang only); layers add theirs here.
include(fuzz/match.cmake OPTIONAL)
include(fuzz/steam.cmake OPTIONAL)
include(fuzz/download.cmake OPTIONAL)
include(fuzz/ai.cmake OPTIONAL)
