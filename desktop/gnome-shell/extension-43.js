// KELTOS's focus reporter for GNOME Shell 43 and 44, which load the extension's `extension` as a
// script through gjs's importer (this file, as extension/__init__.js) and enable and disable the
// object that init() returns.
const {Gio, GLib} = imports.gi;

@FOCUS_REPORTER@
/* exported init */
function init() {
    return new FocusReporter();
}
