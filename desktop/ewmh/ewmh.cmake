# X11, any EWMH window manager, over xcb and xcb-ewmh.
if(TARGET keltos_desktop)
  target_sources(keltos_desktop PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/active_window_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ewmh_desktop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ewmh_x.cpp)
endif()
