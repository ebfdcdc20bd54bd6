# Each benchmark program is its own executable; layers add theirs here.
include(bench/match.cmake OPTIONAL)
include(bench/local.cmake OPTIONAL)
include(bench/app.cmake OPTIONAL)
include(bench/writeback.cmake OPTIONAL)
include(bench/net.cmake OPTIONAL)
