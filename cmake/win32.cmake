# KELTOS.exe: the stopwatch window on its Win32 backend, with the icon and the version resource,
# and keltos_probe.exe, which checks the running program from outside under Wine.
# Included by the top-level CMakeLists.txt when KELTOS_PLATFORM is win32.
if(NOT WIN32)
  message(FATAL_ERROR "KELTOS_PLATFORM=win32 builds for Windows: configure with "
    "-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake (make win32 does this)")
endif()
enable_language(RC)

# The unit tests run in the Linux build; the Windows build has only the probe.
set(KELTOS_TESTS OFF)

set(KELTOS_SRC ${CMAKE_CURRENT_SOURCE_DIR})
set(KELTOS_GEN ${CMAKE_CURRENT_BINARY_DIR}/resources)
file(MAKE_DIRECTORY ${KELTOS_GEN})

# Windows 7 is the oldest system the program runs on; only C++ sees these, never windres.
set(KELTOS_WIN32_DEFINES
  $<$<COMPILE_LANGUAGE:CXX>:_WIN32_WINNT=0x0601>
  $<$<COMPILE_LANGUAGE:CXX>:WINVER=0x0601>
  $<$<COMPILE_LANGUAGE:CXX>:UNICODE>
  $<$<COMPILE_LANGUAGE:CXX>:_UNICODE>)
target_compile_definitions(keltos_winapi PUBLIC ${KELTOS_WIN32_DEFINES})

# One executable with no MinGW DLLs beside it.
set(KELTOS_STATIC_LINK -static -static-libgcc -static-libstdc++)

# The icon: the XPM pictures of the Linux build turned into a .ico by a tool built for the build
# machine with its own compiler.
find_program(KELTOS_HOST_CXX NAMES c++ g++ clang++)
if(NOT KELTOS_HOST_CXX)
  message(FATAL_ERROR "No C++ compiler for the build machine (c++, g++ or clang++): install it "
    "with 'apt-get install g++' (make win32 does this)")
endif()
set(KELTOS_XPM2ICO ${CMAKE_CURRENT_BINARY_DIR}/host/xpm2ico)
add_custom_command(OUTPUT ${KELTOS_XPM2ICO}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/host
  COMMAND ${KELTOS_HOST_CXX} -std=c++20 -O2 -Wall -Wextra -Werror
          -o ${KELTOS_XPM2ICO} ${KELTOS_SRC}/resources/xpm2ico.cpp
  DEPENDS ${KELTOS_SRC}/resources/xpm2ico.cpp
  COMMENT "Building the host tool xpm2ico"
  VERBATIM)
set(KELTOS_ICO ${KELTOS_GEN}/keltos.ico)
add_custom_command(OUTPUT ${KELTOS_ICO}
  COMMAND ${KELTOS_XPM2ICO} ${KELTOS_ICO}
          ${KELTOS_SRC}/resources/keltos_icon_32.xpm ${KELTOS_SRC}/resources/keltos_icon_16.xpm
  DEPENDS ${KELTOS_XPM2ICO} ${KELTOS_SRC}/resources/keltos_icon_32.xpm
          ${KELTOS_SRC}/resources/keltos_icon_16.xpm
  COMMENT "Making keltos.ico from the XPM icons"
  VERBATIM)

# The resource script names the icon and the manifest by plain forward-slash paths, filled in here.
set(KELTOS_ICON_FILE ${KELTOS_ICO})
set(KELTOS_MANIFEST_FILE ${KELTOS_SRC}/resources/keltos.manifest)
configure_file(${KELTOS_SRC}/resources/keltos.rc.in ${KELTOS_GEN}/keltos.rc @ONLY)
set_source_files_properties(${KELTOS_GEN}/keltos.rc PROPERTIES
  OBJECT_DEPENDS "${KELTOS_ICO};${KELTOS_MANIFEST_FILE}")

# The Win32 toolkit: the program's window, controls, timers, clock and calendar.
add_library(keltos_win32 STATIC
  platform/win32/win32_controls.cpp
  platform/win32/win32_fonts.cpp
  platform/win32/win32_newer.cpp
  platform/win32/win32_text.cpp
  platform/win32/win32_toolkit.cpp
  platform/win32/win32_window.cpp)
# comctl32: the controls of Common Controls 6 that the manifest asks for.
target_link_libraries(keltos_win32 PUBLIC keltos_platform user32 gdi32 comctl32)

add_executable(KELTOS WIN32 app/main.cpp ${KELTOS_GEN}/keltos.rc ${KELTOS_ICO})
target_link_libraries(KELTOS PRIVATE keltos_core keltos_win32)
target_link_options(KELTOS PRIVATE ${KELTOS_STATIC_LINK})

# Another Windows program that finds the running bar and checks it (see tests/wine); it also
# checks the Win32 timers, so it carries the Win32 backend.
add_executable(keltos_probe
  tests/wine/probe_captions.cpp
  tests/wine/probe_commands.cpp
  tests/wine/probe_docking.cpp
  tests/wine/probe_dpi.cpp
  tests/wine/probe_main.cpp
  tests/wine/probe_resources.cpp
  tests/wine/probe_startup.cpp
  tests/wine/probe_timers.cpp
  tests/wine/probe_util.cpp)
target_compile_definitions(keltos_probe PRIVATE ${KELTOS_WIN32_DEFINES})
target_include_directories(keltos_probe PRIVATE ${KELTOS_SRC})
target_link_libraries(keltos_probe PRIVATE keltos_core keltos_win32 version shell32)
target_link_options(keltos_probe PRIVATE ${KELTOS_STATIC_LINK})
# What the probe loads into the bar's process to measure the captions in their own fonts; its
# hook procedure is exported by its plain name.
add_library(keltos_probe_hook SHARED tests/wine/probe_hook.cpp)
set_target_properties(keltos_probe_hook PROPERTIES PREFIX "")
target_compile_definitions(keltos_probe_hook PRIVATE ${KELTOS_WIN32_DEFINES})
target_include_directories(keltos_probe_hook PRIVATE ${KELTOS_SRC})
target_link_libraries(keltos_probe_hook PRIVATE user32 gdi32)
target_link_options(keltos_probe_hook PRIVATE ${KELTOS_STATIC_LINK} -Wl,--kill-at)
add_dependencies(keltos_probe keltos_probe_hook)
