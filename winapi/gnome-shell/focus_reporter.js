// The focused window, as KELTOS asks for it on the session bus: the first five characters of
// its title, its frame rectangle and whether it is minimized, and a signal whenever any of them
// changes. Nothing else leaves the shell, and nothing is kept once the extension is disabled.
//
// Every answer carries a serial that only grows, even across a restart of the shell (it is the
// monotonic clock in microseconds), so that KELTOS can put a late reply to its question behind a
// newer signal. An id of '' means that no window has the focus.
const FOCUS_PATH = '/io/github/keltos/Focus';
const FOCUS_INTERFACE = `
<node>
  <interface name="io.github.keltos.Focus">
    <method name="GetFocus">
      <arg direction="out" type="t" name="serial"/>
      <arg direction="out" type="s" name="id"/>
      <arg direction="out" type="s" name="title"/>
      <arg direction="out" type="i" name="x"/>
      <arg direction="out" type="i" name="y"/>
      <arg direction="out" type="i" name="width"/>
      <arg direction="out" type="i" name="height"/>
      <arg direction="out" type="b" name="minimized"/>
    </method>
    <signal name="FocusChanged">
      <arg type="t" name="serial"/>
      <arg type="s" name="id"/>
      <arg type="s" name="title"/>
      <arg type="i" name="x"/>
      <arg type="i" name="y"/>
      <arg type="i" name="width"/>
      <arg type="i" name="height"/>
      <arg type="b" name="minimized"/>
    </signal>
  </interface>
</node>`;
const FOCUS_SIGNATURE = '(tssiiiib)';
const TITLE_CHARACTERS = 5;
const WINDOW_SIGNALS = ['notify::title', 'notify::minimized', 'position-changed', 'size-changed'];

class FocusReporter {
    enable() {
        this._serial = 0;
        this._window = null;
        this._windowSignals = [];
        this._sent = '';
        this._exported = Gio.DBusExportedObject.wrapJSObject(FOCUS_INTERFACE, this);
        this._exported.export(Gio.DBus.session, FOCUS_PATH);
        this._focusSignal = global.display.connect('notify::focus-window', () => this._follow());
        this._follow();
    }

    disable() {
        global.display.disconnect(this._focusSignal);
        this._watch(null);
        this._changed();  // KELTOS learns that nothing is reported any more
        this._exported.unexport();
        this._exported = null;
    }

    // The D-Bus method: what has the focus now.
    GetFocus() {
        return this._report();
    }

    _follow() {
        this._watch(global.display.focus_window);
        this._changed();
    }

    // Listens to the changes of one window, and of no other.
    _watch(window) {
        for (const id of this._windowSignals)
            this._window.disconnect(id);
        this._window = window;
        this._windowSignals = window
            ? WINDOW_SIGNALS.map(name => window.connect(name, () => this._changed()))
            : [];
    }

    _changed() {
        const report = this._report();
        const key = JSON.stringify(report.slice(1));
        if (key === this._sent)
            return;
        this._sent = key;
        this._exported.emit_signal('FocusChanged', new GLib.Variant(FOCUS_SIGNATURE, report));
    }

    _report() {
        this._serial = Math.max(this._serial + 1, GLib.get_monotonic_time());
        const window = this._window;
        if (!window)
            return [this._serial, '', '', 0, 0, 0, 0, false];
        // Five characters, counted as characters rather than UTF-16 units.
        const title = Array.from(window.get_title() ?? '').slice(0, TITLE_CHARACTERS).join('');
        const frame = window.get_frame_rect();
        return [this._serial, String(window.get_id()), title,
            frame.x, frame.y, frame.width, frame.height, window.minimized];
    }
}
