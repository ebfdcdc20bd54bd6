# The core tests of the Windows build: GoogleTest from Debian's source package, and every
# test run under Wine in a private prefix inside the build folder.
set(KB_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KB_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Debian's wine64 puts its programs in /usr/lib/wine.
find_program(KB_WINE NAMES wine64 wine PATHS /usr/lib/wine REQUIRED)
find_program(KB_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine REQUIRED)
set(KB_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
if(NOT EXISTS ${KB_WINEPREFIX}/system.reg)
  message(STATUS "Creating the Wine prefix ${KB_WINEPREFIX}")
  execute_process(COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --boot RESULT_VARIABLE kb_wineboot_rc)
  if(NOT kb_wineboot_rc EQUAL 0)
    message(FATAL_ERROR "wineboot failed (${kb_wineboot_rc})")
  endif()
endif()

# Tests that cannot run under Wine, with the reason:
# - permission bits: Windows has no read-only or unlistable folders made with chmod, so the
#   tests that lock a folder that way have nothing to lock.
set(KB_TEST_FILTER "-${KB_WINE_SKIPPED_TESTS}")

# The programs must run from the zip alone: they may import only DLLs that Windows has.
add_test(NAME windows.system_dlls_only
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-windows-imports $<TARGET_FILE:kb_tests>
                 $<$<TARGET_EXISTS:kestrelbox>:$<TARGET_FILE:kestrelbox>>)
set_tests_properties(windows.system_dlls_only PROPERTIES LABELS core)

# The window journeys (tests/e2e.cmake) start the exe under Wine, each in a prefix of its own
# X display (see wine-run.sh), with Debian's Chinese font: the prefix has none. Local mode's
# "浏览..." opens the shell's folder dialog there, which the journeys do not drive. Under Wine
# a loaded machine draws a few frames a second, and the GUI binding takes mouse buttons at once
# but keys and pointer moves a frame at a time: input comes four times slower, so that a click
# never overtakes the keys typed before it.
set(KB_E2E_JOURNEYS offline online ai)
set(KB_E2E_ENVIRONMENT "KB_LAUNCHER=${CMAKE_BINARY_DIR}/wine-run.sh --per-display" KB_INPUT_PACE=4
                       "KESTRELBOX_FONTS=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc")
