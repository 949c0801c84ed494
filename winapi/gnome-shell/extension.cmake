# KELTOS's GNOME Shell extension, which tells the window API the focused window in a GNOME
# Wayland session. GNOME Shell 43 and 44 load extension.js as a script and 45 on as an ES module,
# so extension.js is made from the entry for the shell it is built for, around the body both
# share. That shell is the one installed here (gnome-shell --version, asked again at every
# configure, so that a build folder follows an upgraded shell), else Debian 12's 43;
# -DKELTOS_GNOME_SHELL_VERSION=N chooses another. metadata.json names every major version the
# chosen entry serves, so that the extension keeps loading after the shell is upgraded within
# them (a shell refuses an extension whose metadata does not name its major version).
set(KELTOS_GNOME_EXTENSION_UUID keltos-focus@keltos.github.io)

set(KELTOS_GNOME_SHELL_VERSION "" CACHE STRING
    "GNOME Shell major version KELTOS's extension is made for (empty: the installed one)")
set(shell_version ${KELTOS_GNOME_SHELL_VERSION})
if(NOT shell_version)
  set(shell_version 43)
  execute_process(COMMAND gnome-shell --version OUTPUT_VARIABLE out ERROR_QUIET
                  RESULT_VARIABLE failed)
  if(NOT failed AND out MATCHES "GNOME Shell ([0-9]+)")
    set(shell_version ${CMAKE_MATCH_1})
  endif()
endif()
if(shell_version GREATER_EQUAL 45)
  set(entry 45)
  set(serves 45 46 47 48 49 50 51)
else()
  set(entry 43)
  set(serves 43 44)
endif()
# As a JSON list: "45", "46", ...
list(JOIN serves "\", \"" KELTOS_GNOME_SHELL_VERSIONS)
set(KELTOS_GNOME_SHELL_VERSIONS "\"${KELTOS_GNOME_SHELL_VERSIONS}\"")

set(source ${CMAKE_CURRENT_LIST_DIR})
set(KELTOS_GNOME_EXTENSION_DIR ${CMAKE_CURRENT_BINARY_DIR}/gnome-shell/${KELTOS_GNOME_EXTENSION_UUID})
file(READ ${source}/focus_reporter.js FOCUS_REPORTER)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source}/focus_reporter.js)
configure_file(${source}/extension-${entry}.js ${KELTOS_GNOME_EXTENSION_DIR}/extension.js @ONLY)
# Both entries, for the test that loads each under gjs.
foreach(each 43 45)
  configure_file(${source}/extension-${each}.js
                 ${CMAKE_CURRENT_BINARY_DIR}/gnome-shell/entries/shell${each}/extension.js @ONLY)
endforeach()
configure_file(${source}/metadata.json.in ${KELTOS_GNOME_EXTENSION_DIR}/metadata.json @ONLY)
