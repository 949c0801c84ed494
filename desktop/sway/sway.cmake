# sway, and compositors serving its IPC: the IPC's messages are read as JSON with nlohmann-json
# (header-only, from Debian).
find_package(nlohmann_json 3.10 REQUIRED)
target_sources(keltos_desktop_base PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sway_ipc.cpp)
target_link_libraries(keltos_desktop_base PRIVATE nlohmann_json::nlohmann_json)
if(TARGET keltos_desktop)
  target_sources(keltos_desktop PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/sway_connection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sway_desktop.cpp)
endif()
