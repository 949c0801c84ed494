// KELTOS's focus reporter for GNOME Shell 43 and 44, which load extension.js as a script and
// enable and disable the object that init() returns.
const {Gio, GLib} = imports.gi;

@FOCUS_REPORTER@
/* exported init */
function init() {
    return new FocusReporter();
}
