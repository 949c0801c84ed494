# KDE Plasma on Wayland: KWin, a script of KELTOS's loaded into it, and KWin's configuration.
target_sources(keltos_desktop_base PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/kwin_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kwinrc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_names.cpp)
if(TARGET keltos_desktop)
  target_sources(keltos_desktop PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/kwin_config.cpp
    ${CMAKE_CURRENT_LIST_DIR}/kwin_desktop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/report_receiver.cpp)
  # The script KELTOS loads into KWin, compiled in as a string.
  include(cmake/embed_text.cmake)
  keltos_embed_text(keltos_desktop desktop/kwin/keltos_focus.js kKWinFocusScript)
endif()
