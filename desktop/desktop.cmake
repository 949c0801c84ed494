# The desktops KELTOS follows windows in on Linux: what they share here, one folder per desktop
# (each with a .cmake of its own that lists its files), and the choice between them.
#   keltos_desktop_base  what needs neither X11 nor Qt: the choice, the checks on what a desktop
#                        reports, the reading of its messages; the sanitizer build tests it too
#   keltos_desktop       the providers themselves, over xcb and Qt's D-Bus (the Qt build only)
# Included by the top-level CMakeLists.txt on Linux.
add_library(keltos_desktop_base STATIC
  ${CMAKE_CURRENT_LIST_DIR}/change_signal.cpp
  ${CMAKE_CURRENT_LIST_DIR}/choice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reported_foreground.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf8.cpp)
target_include_directories(keltos_desktop_base PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

if(KELTOS_PLATFORM STREQUAL "qt")
  find_package(Qt6 REQUIRED COMPONENTS DBus)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb xcb-ewmh)
  add_library(keltos_desktop STATIC
    ${CMAKE_CURRENT_LIST_DIR}/selection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/unix_socket.cpp)
  target_link_libraries(keltos_desktop PUBLIC keltos_desktop_base PkgConfig::XCB Qt6::DBus)
  set_target_properties(keltos_desktop PROPERTIES AUTOMOC ON)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/ewmh/ewmh.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/kwin/kwin.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/gnome-shell/gnome-shell.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/sway/sway.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/hyprland/hyprland.cmake)
