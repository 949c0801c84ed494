# GNOME on Wayland: KELTOS's GNOME Shell extension (extension.cmake), heard over the session bus.
if(TARGET keltos_desktop)
  include(${CMAKE_CURRENT_LIST_DIR}/extension.cmake)
  target_sources(keltos_desktop PRIVATE ${CMAKE_CURRENT_LIST_DIR}/gnome_shell_desktop.cpp)
  target_compile_definitions(keltos_desktop PRIVATE
    KELTOS_GNOME_EXTENSION_UUID="${KELTOS_GNOME_EXTENSION_UUID}")
endif()
