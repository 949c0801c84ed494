// For the end-to-end tests only: turns on GNOME Shell's unsafe mode, in which org.gnome.Shell.Eval
// answers, so that the test can ask the shell about its windows without KELTOS's extension.
// GNOME Shell 43 and 44 load this as a script; extension-45.js is the same for 45 on.
/* exported init */
function init() {
    return {
        enable() {
            global.context.unsafe_mode = true;
        },
        disable() {
            global.context.unsafe_mode = false;
        },
    };
}
