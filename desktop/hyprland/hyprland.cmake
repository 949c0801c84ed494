# Hyprland: its answers and events are read here (JSON with nlohmann-json, as for sway), its
# sockets talked to in the provider.
find_package(nlohmann_json 3.10 REQUIRED)
target_sources(keltos_desktop_base PRIVATE ${CMAKE_CURRENT_LIST_DIR}/hyprland_ipc.cpp)
target_link_libraries(keltos_desktop_base PRIVATE nlohmann_json::nlohmann_json)
if(TARGET keltos_desktop)
  target_sources(keltos_desktop PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/hyprland_desktop.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hyprland_sockets.cpp)
endif()
