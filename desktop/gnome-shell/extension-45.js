// KELTOS's focus reporter for GNOME Shell 45 and later, which load extension.js as an ES module
// and enable and disable its default export.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

@FOCUS_REPORTER@
export default class KeltosFocusExtension extends Extension {
    enable() {
        this._reporter = new FocusReporter();
        this._reporter.enable();
    }

    disable() {
        this._reporter.disable();
        this._reporter = null;
    }
}
