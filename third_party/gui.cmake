# The window stack, built from the pinned archives next to this file: configuring never
# touches the network and a fresh clone needs nothing else. Their warnings are not ours:
# no KB_WARNINGS on these targets, and SYSTEM includes for everyone who uses them.
include(FetchContent)
set(KB_THIRD_PARTY ${CMAKE_CURRENT_LIST_DIR})

# The PATCH_COMMAND arguments that apply patches/<name> once: a re-configure finds it applied
# and leaves the sources alone. The patch's hash is part of the command, so an edited patch
# re-extracts the sources and is applied anew.
function(kb_patch out name)
  set(patch ${KB_THIRD_PARTY}/patches/${name})
  file(SHA256 ${patch} hash)
  set(${out} PATCH_COMMAND ${CMAKE_COMMAND} -DKB_PATCH=${patch} -DKB_PATCH_HASH=${hash}
      -DKB_PATCH_SOURCE_DIR=<SOURCE_DIR> -P ${KB_THIRD_PARTY}/apply_patch.cmake PARENT_SCOPE)
endfunction()

if(WIN32)
  # FreeType from our own archive, declared before SFML so that SFML never downloads it.
  FetchContent_Declare(freetype
    URL ${KB_THIRD_PARTY}/freetype-2.14.3.tar.gz
    URL_HASH SHA256=d87cfb3cec3d38e0ae6ebc9bb5b9766919fe5146a564d0fbd3383cdafd94995f)
  set(FT_DISABLE_ZLIB ON CACHE BOOL "" FORCE)
  set(FT_DISABLE_BZIP2 ON CACHE BOOL "" FORCE)
  set(FT_DISABLE_PNG ON CACHE BOOL "" FORCE)
  set(FT_DISABLE_HARFBUZZ ON CACHE BOOL "" FORCE)
  set(FT_DISABLE_BROTLI ON CACHE BOOL "" FORCE)
  FetchContent_MakeAvailable(freetype)
  set(SFML_USE_SYSTEM_DEPS OFF CACHE BOOL "" FORCE)
else()
  # Debian's FreeType, X11 and udev development packages (scripts/setup installs them).
  set(SFML_USE_SYSTEM_DEPS ON CACHE BOOL "" FORCE)
endif()

set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
set(SFML_BUILD_AUDIO OFF CACHE BOOL "" FORCE)
set(SFML_BUILD_NETWORK OFF CACHE BOOL "" FORCE)
set(SFML_BUILD_EXAMPLES OFF CACHE BOOL "" FORCE)
set(SFML_BUILD_DOC OFF CACHE BOOL "" FORCE)
set(SFML_BUILD_TEST_SUITE OFF CACHE BOOL "" FORCE)
set(SFML_INSTALL_PKGCONFIG_FILES OFF CACHE BOOL "" FORCE)
# Centres new windows on X11 (3.0.2 places them at the screen size minus half the window,
# mostly off a desktop without a window manager).
kb_patch(KB_SFML_PATCH sfml-x11-centred-window.patch)
FetchContent_Declare(SFML
  URL ${KB_THIRD_PARTY}/SFML-3.0.2.tar.gz
  URL_HASH SHA256=4ec112c9d011405049ab3b96ba1915675f08d8ab16f5c62d317ed1b14fbe33d4
  ${KB_SFML_PATCH})
FetchContent_MakeAvailable(SFML)
# Their headers are included as system headers (FetchContent's own SYSTEM switch is
# mis-parsed by CMake 3.25).
set_target_properties(sfml-system sfml-window sfml-graphics PROPERTIES SYSTEM ON)

FetchContent_Declare(imgui
  URL ${KB_THIRD_PARTY}/imgui-1.92.9b.tar.gz
  URL_HASH SHA256=ff4dae82622c3a9599b8b6fff9f6a71f73decd3e4479ac7ee82ea06b6532feb8)
kb_patch(KB_IMGUI_SFML_PATCH imgui-sfml-textures.patch)
FetchContent_Declare(imgui_sfml
  URL ${KB_THIRD_PARTY}/imgui-sfml-e3ae70b.tar.gz
  URL_HASH SHA256=776578f0b1f7b4180f04febd15c6166dd6674c9218cbf235d989c0f1fca45945
  ${KB_IMGUI_SFML_PATCH})
# Sources only: both are compiled below as one target of ours.
FetchContent_GetProperties(imgui)
if(NOT imgui_POPULATED)
  FetchContent_Populate(imgui)
endif()
FetchContent_GetProperties(imgui_sfml)
if(NOT imgui_sfml_POPULATED)
  FetchContent_Populate(imgui_sfml)
endif()

find_package(OpenGL REQUIRED)
add_library(kb_imgui STATIC
  ${imgui_SOURCE_DIR}/imgui.cpp
  ${imgui_SOURCE_DIR}/imgui_draw.cpp
  ${imgui_SOURCE_DIR}/imgui_tables.cpp
  ${imgui_SOURCE_DIR}/imgui_widgets.cpp
  ${imgui_sfml_SOURCE_DIR}/imgui-SFML.cpp)
target_include_directories(kb_imgui SYSTEM PUBLIC ${imgui_SOURCE_DIR} ${imgui_sfml_SOURCE_DIR})
# The binding's conversions between ImVec2/ImVec4 and SFML's vectors and colours.
target_compile_definitions(kb_imgui PUBLIC IMGUI_USER_CONFIG="imconfig-SFML.h")
target_link_libraries(kb_imgui PUBLIC SFML::Graphics SFML::Window SFML::System OpenGL::GL)
