# KELTOS's GNOME Shell extension, which tells the window API the focused window in a GNOME
# Wayland session. GNOME Shell 43 and 44 load extension.js as a script and 45 on as an ES module,
# so extension.js is made from the entry for the shell it is built for, around the body both
# share. That shell is the one installed here (gnome-shell --version), else Debian 12's 43;
# -DKELTOS_GNOME_SHELL_VERSION=N chooses another. metadata.json names that version.
set(KELTOS_GNOME_EXTENSION_UUID keltos-focus@keltos.github.io)

if(NOT KELTOS_GNOME_SHELL_VERSION)
  set(found 43)
  execute_process(COMMAND gnome-shell --version OUTPUT_VARIABLE out ERROR_QUIET
                  RESULT_VARIABLE failed)
  if(NOT failed AND out MATCHES "GNOME Shell ([0-9]+)")
    set(found ${CMAKE_MATCH_1})
  endif()
  set(KELTOS_GNOME_SHELL_VERSION ${found} CACHE STRING
      "Major version of the GNOME Shell that KELTOS's extension is made for")
endif()
set(KELTOS_GNOME_SHELL_MAJOR ${KELTOS_GNOME_SHELL_VERSION})
if(KELTOS_GNOME_SHELL_MAJOR GREATER_EQUAL 45)
  set(entry 45)
else()
  set(entry 43)
endif()

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
