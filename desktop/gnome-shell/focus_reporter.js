// The focused window, for a running KELTOS and nobody else: the first five characters of its
// title, its frame rectangle, whether it is minimized, and how many of XWayland's pixels one of
// the shell's logical pixels spans.
//
// A KELTOS asks for the reports with Register on the well-known name io.github.keltos.Focus,
// which this extension holds on GNOME Shell's connection for as long as it is enabled (so KELTOS
// learns from the bus when it comes and goes). Only a caller whose process is the KELTOS program
// is taken: the bus names the caller's process, and /proc names its executable. Register answers
// with the report of the moment; every later change goes as a FocusChanged signal addressed to
// each registered KELTOS's bus name alone, never broadcast. A KELTOS whose bus name has gone is
// forgotten. While no KELTOS is registered the extension follows nothing and sends nothing, and
// nothing is kept once it is disabled.
//
// Every report carries a serial that only grows, even across a restart of the shell (it is the
// monotonic clock in microseconds), so that KELTOS can put a late reply behind a newer signal.
// An id of '' means that no window has the focus. Frames are in the shell's logical (stage)
// pixels; the scale is what mutter multiplies them by for X11 clients (1 before mutter 47,
// which has no Meta.Window.stage_to_protocol_rect, and wherever X11 clients are scaled up by the
// shell instead).
const FOCUS_NAME = 'io.github.keltos.Focus';
const FOCUS_PATH = '/io/github/keltos/Focus';
const FOCUS_INTERFACE_NAME = 'io.github.keltos.Focus';
const FOCUS_INTERFACE = `
<node>
  <interface name="io.github.keltos.Focus">
    <method name="Register">
      <arg direction="out" type="t" name="serial"/>
      <arg direction="out" type="s" name="id"/>
      <arg direction="out" type="s" name="title"/>
      <arg direction="out" type="i" name="x"/>
      <arg direction="out" type="i" name="y"/>
      <arg direction="out" type="i" name="width"/>
      <arg direction="out" type="i" name="height"/>
      <arg direction="out" type="b" name="minimized"/>
      <arg direction="out" type="d" name="scale"/>
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
      <arg type="d" name="scale"/>
    </signal>
  </interface>
</node>`;
const REPORT_SIGNATURE = '(tssiiiibd)';
const TITLE_CHARACTERS = 5;
const WINDOW_SIGNALS = ['notify::title', 'notify::minimized', 'position-changed', 'size-changed'];
// The executable's file name that a registering caller must run.
const KELTOS_PROGRAM = 'keltos';
// A square this many logical pixels wide is turned into X11 pixels to learn the scale.
const SCALE_PROBE = 1000;

// Whether process `pid` runs the KELTOS program. A program that was replaced on disk while it
// runs (an upgrade) reads as "PATH (deleted)".
function isKeltos(pid) {
    if (!pid)
        return false;
    let exe;
    try {
        exe = GLib.file_read_link(`/proc/${pid}/exe`);
    } catch (e) {
        return false;  // gone, or not ours to read
    }
    return GLib.path_get_basename(exe.replace(/ \(deleted\)$/, '')) === KELTOS_PROGRAM;
}

class FocusReporter {
    enable() {
        this._bus = Gio.DBus.session;
        this._keltos = new Map();  // unique bus name -> the watch on it
        this._serial = 0;
        this._sent = '';
        this._scale = 1;
        this._window = null;
        this._windowSignals = [];
        this._sources = [];
        this._rescaleLater = 0;
        this._exported = Gio.DBusExportedObject.wrapJSObject(FOCUS_INTERFACE, this);
        this._exported.export(this._bus, FOCUS_PATH);
        this._name = Gio.bus_own_name_on_connection(this._bus, FOCUS_NAME,
            Gio.BusNameOwnerFlags.NONE, null, null);
    }

    disable() {
        // Each KELTOS learns that nothing is reported any more, then is forgotten.
        if (this._keltos.size > 0) {
            this._watch(null);
            this._send(this._report(), [...this._keltos.keys()]);
        }
        for (const name of [...this._keltos.keys()])
            this._forget(name);
        Gio.bus_unown_name(this._name);
        this._exported.unexport();
        this._exported = null;
        this._bus = null;
    }

    // The D-Bus method: a KELTOS asks for the reports. Any other caller gets an error and nothing.
    RegisterAsync(parameters, invocation) {
        const exported = this._exported;
        const sender = invocation.get_sender();
        this._bus.call('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
            'GetConnectionUnixProcessID', new GLib.Variant('(s)', [sender]),
            new GLib.VariantType('(u)'), Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
                let pid = 0;
                try {
                    [pid] = bus.call_finish(result).deepUnpack();
                } catch (e) {
                    pid = 0;  // the caller has gone already
                }
                if (this._exported !== exported) {
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.ServiceUnknown',
                        'the KELTOS focus reporter is off');
                } else if (!isKeltos(pid)) {
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                        'only KELTOS is told which window has the focus');
                } else {
                    invocation.return_value(new GLib.Variant(REPORT_SIGNATURE,
                        this._register(sender)));
                }
            });
    }

    // Takes a KELTOS by its unique bus name; returns the report of the moment for it.
    _register(name) {
        if (!this._keltos.has(name)) {
            const watch = Gio.bus_watch_name_on_connection(this._bus, name,
                Gio.BusNameWatcherFlags.NONE, null, () => this._forget(name));
            this._keltos.set(name, watch);
            if (this._keltos.size === 1)
                this._start();
        }
        // The others hear of any change this brings (a scale learnt just now, say).
        const report = this._report();
        const others = [...this._keltos.keys()].filter(other => other !== name);
        if (this._key(report) !== this._sent)
            this._send(report, others);
        this._sent = this._key(report);
        return report;
    }

    _forget(name) {
        const watch = this._keltos.get(name);
        if (watch === undefined)
            return;
        Gio.bus_unwatch_name(watch);
        this._keltos.delete(name);
        if (this._keltos.size === 0)
            this._stop();
    }

    // From the first KELTOS on: follow the focus and whatever changes the scale.
    _start() {
        const display = global.display;
        const monitors = global.backend.get_monitor_manager();
        this._connect(display, 'notify::focus-window', () => this._follow());
        // The first X11 window (KELTOS's own bar) is what the scale is learnt from.
        this._connect(display, 'window-created', () => this._rescale());
        this._connect(monitors, 'monitors-changed', () => this._rescale());
        const schema = Gio.SettingsSchemaSource.get_default()?.lookup('org.gnome.mutter', true);
        if (schema) {
            // Mutter reads its own copy of the setting: ask it once it has.
            const settings = new Gio.Settings({settings_schema: schema});
            this._connect(settings, 'changed::experimental-features', () => {
                if (this._rescaleLater === 0) {
                    this._rescaleLater = GLib.idle_add(GLib.PRIORITY_DEFAULT_IDLE, () => {
                        this._rescaleLater = 0;
                        this._rescale();
                        return GLib.SOURCE_REMOVE;
                    });
                }
            });
        }
        this._scale = this._measureScale();
        this._watch(display.focus_window);
    }

    // After the last KELTOS: nothing followed, nothing kept.
    _stop() {
        for (const [object, id] of this._sources)
            object.disconnect(id);
        this._sources = [];
        if (this._rescaleLater !== 0)
            GLib.source_remove(this._rescaleLater);
        this._rescaleLater = 0;
        this._watch(null);
        this._sent = '';
        this._scale = 1;
    }

    _connect(object, name, callback) {
        this._sources.push([object, object.connect(name, callback)]);
    }

    _follow() {
        this._watch(global.display.focus_window);
        this._changed();
    }

    _rescale() {
        this._scale = this._measureScale();
        this._changed();
    }

    // X11 pixels per logical pixel: what mutter turns a square into for an X11 window (for a
    // Wayland window it stays as it is, so the largest answer is the X11 one).
    _measureScale() {
        let scale = 1;
        for (const window of global.display.list_all_windows()) {
            if (typeof window.stage_to_protocol_rect !== 'function')
                continue;
            const square = window.get_frame_rect();
            Object.assign(square, {x: 0, y: 0, width: SCALE_PROBE, height: SCALE_PROBE});
            const x11 = window.stage_to_protocol_rect(square);
            scale = Math.max(scale, x11.width / SCALE_PROBE);
        }
        return scale;
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
        if (this._keltos.size === 0)
            return;
        const report = this._report();
        const key = this._key(report);
        if (key === this._sent)
            return;
        this._sent = key;
        this._send(report, [...this._keltos.keys()]);
    }

    // Addressed to each name: the bus hands the signal to that connection alone.
    _send(report, names) {
        const parameters = new GLib.Variant(REPORT_SIGNATURE, report);
        for (const name of names) {
            try {
                this._bus.emit_signal(name, FOCUS_PATH, FOCUS_INTERFACE_NAME, 'FocusChanged',
                    parameters);
            } catch (e) {
                // The bus is closing; the name's watch forgets it.
            }
        }
    }

    // A report without its serial, to tell whether anything changed.
    _key(report) {
        return JSON.stringify(report.slice(1));
    }

    _report() {
        this._serial = Math.max(this._serial + 1, GLib.get_monotonic_time());
        const window = this._window;
        if (!window)
            return [this._serial, '', '', 0, 0, 0, 0, false, this._scale];
        // Five characters, counted as characters rather than UTF-16 units.
        const title = Array.from(window.get_title() ?? '').slice(0, TITLE_CHARACTERS).join('');
        const frame = window.get_frame_rect();
        return [this._serial, String(window.get_id()), title,
            frame.x, frame.y, frame.width, frame.height, window.minimized, this._scale];
    }
}
