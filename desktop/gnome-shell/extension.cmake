# KELTOS's GNOME Shell extension, which tells KELTOS the focused window in a GNOME Wayland
# session. One folder serves every GNOME Shell from 43 on, whatever machine built it: 45 and later
# import extension.js as an ES module, while 43 and 44 load `extension` through gjs's importer,
# which takes a folder of that name (its __init__.js) before a file. So both entries ship, each
# made around the body they share, and each shell loads its own:
#   extension.js            the ES module (extension-45.js), GNOME Shell 45 on
#   extension/__init__.js   the script (extension-43.js), GNOME Shell 43 and 44
# metadata.json names every major version they serve (a shell refuses an extension whose metadata
# does not name its own): when a new GNOME Shell is released, its number goes on this line.
set(KELTOS_GNOME_SHELL_VERSIONS 43 44 45 46 47 48 49 50 51)
set(KELTOS_GNOME_EXTENSION_UUID keltos-focus@keltos.github.io)

# As a JSON list: "43", "44", ...
list(JOIN KELTOS_GNOME_SHELL_VERSIONS "\", \"" versions)
set(KELTOS_GNOME_SHELL_VERSIONS_JSON "\"${versions}\"")

set(source ${CMAKE_CURRENT_LIST_DIR})
set(KELTOS_GNOME_EXTENSION_DIR ${CMAKE_CURRENT_BINARY_DIR}/gnome-shell/${KELTOS_GNOME_EXTENSION_UUID})
file(READ ${source}/focus_reporter.js FOCUS_REPORTER)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source}/focus_reporter.js)
configure_file(${source}/extension-45.js ${KELTOS_GNOME_EXTENSION_DIR}/extension.js @ONLY)
configure_file(${source}/extension-43.js ${KELTOS_GNOME_EXTENSION_DIR}/extension/__init__.js @ONLY)
configure_file(${source}/metadata.json.in ${KELTOS_GNOME_EXTENSION_DIR}/metadata.json @ONLY)
