# Installing the Linux program (make install) and its Debian package (make package): the binary,
# its desktop entry, its icon in the hicolor theme, its manual page, its AppStream metadata, and
# the copyright and changelog a distribution expects in share/doc/keltos.
include(GNUInstallDirs)
set(KELTOS_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/keltos)

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
install(FILES packaging/org.keltos.keltos.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/copyright DESTINATION ${KELTOS_DOCDIR})

# The manual page and the changelog go in compressed as Debian wants them: gzip -9 with no name
# or time stamp inside, so the same source always gives the same bytes.
find_program(KELTOS_GZIP gzip REQUIRED)
set(KELTOS_GZ_DIR ${CMAKE_CURRENT_BINARY_DIR}/gz)
set(KELTOS_GZ_FILES)
foreach(source keltos.1 changelog)
  set(copy ${KELTOS_GZ_DIR}/${source})
  set(gz ${copy}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/packaging/${source} ${copy}
    COMMAND ${KELTOS_GZIP} -9nf ${copy}
    DEPENDS packaging/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND KELTOS_GZ_FILES ${gz})
endforeach()
add_custom_target(keltos_docs ALL DEPENDS ${KELTOS_GZ_FILES})
install(FILES ${KELTOS_GZ_DIR}/keltos.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KELTOS_GZ_DIR}/changelog.gz DESTINATION ${KELTOS_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keltos)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KELTOS developers <dev@keltos.org>")
# The synopsis, then the extended description from its file (no double quotes in it: CPack 3.25
# writes them as &quot;).
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "topmost stopwatch bar that rides on the active window's title bar")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_SOURCE_DIR}/packaging/description.txt)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://keltos.org/)
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
