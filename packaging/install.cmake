# Installing the Linux program: the binary, its desktop entry and its icon in the hicolor theme,
# and the Debian package of all three (make install, make package).
include(GNUInstallDirs)

add_executable(xpm2png packaging/xpm2png.cpp)
target_include_directories(xpm2png PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(xpm2png PRIVATE Qt6::Gui)

set(KELTOS_ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons)
add_custom_command(
  OUTPUT ${KELTOS_ICON_DIR}/16x16/keltos.png ${KELTOS_ICON_DIR}/32x32/keltos.png
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=minimal $<TARGET_FILE:xpm2png> ${KELTOS_ICON_DIR}
  DEPENDS xpm2png resources/keltos_icon_16.xpm resources/keltos_icon_32.xpm
  WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
  COMMENT "Icon theme images from the XPM icon")
add_custom_target(keltos_icons ALL
  DEPENDS ${KELTOS_ICON_DIR}/16x16/keltos.png ${KELTOS_ICON_DIR}/32x32/keltos.png)

install(TARGETS keltos RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES packaging/keltos.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16x16 32x32)
  install(FILES ${KELTOS_ICON_DIR}/${size}/keltos.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keltos)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KELTOS developers <dev@keltos.local>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Topmost stopwatch bar that rides on the active window's title bar")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the libraries the binary links
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

# KELTOS's GNOME Shell extension, under share/gnome-shell/extensions/<uuid>. `make run` in a
# GNOME Wayland session installs this component alone for the user, under ~/.local.
install(DIRECTORY ${KELTOS_GNOME_EXTENSION_DIR}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions COMPONENT gnome-shell-extension)
install(CODE "message(STATUS \"KELTOS's GNOME Shell extension is installed; unless it is on already, turn it on with:  gnome-extensions enable ${KELTOS_GNOME_EXTENSION_UUID}  (a new log-in may be needed first)\")"
        COMPONENT gnome-shell-extension)
