// KELTOS's GNOME Shell extension through both of its entries (the script that GNOME Shell 43 and
// 44 load, the ES module of 45 on), each loaded from the one extension folder the way its shell
// loads it, then enabled and disabled inside gjs against a stand-in for the shell's display,
// monitors and windows, on a session bus of its own:
//   dbus-run-session -- gjs -m entries_test.js EXTENSION_DIR
// EXTENSION_DIR is the extension's folder as the build makes it and make install installs it.
//
// The programs that ask the extension are real processes on that bus: "KELTOS" is a copy of gjs
// named keltos, "another program" is gjs itself; both run the same client script, which asks to
// register and then prints everything the bus hands it.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const NAME = 'io.github.keltos.Focus';
const PATH = '/io/github/keltos/Focus';
const INTERFACE = 'io.github.keltos.Focus';
const WINDOW_SIGNALS = 4;  // title, minimized, position, size
const GJS = '/usr/bin/gjs-console';

// Each row: one entry, and whether its mutter turns stage into X11 pixels itself (47 on) or has
// no stage_to_protocol_rect (the scale is then 1, whatever the monitors).
const ROWS = [
    {entry: 'shell43', mutterScales: false},
    {entry: 'shell45', mutterScales: true},
    {entry: 'shell45', mutterScales: false},
];

// The settings mutter reads stay in this process.
GLib.setenv('GSETTINGS_BACKEND', 'memory', true);

const CLIENT = `
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
const bus = Gio.DBus.session;
const say = what => print(JSON.stringify(what));
// Every signal the bus hands this connection: broadcasts and any addressed to it.
bus.signal_subscribe(null, null, null, null, null, Gio.DBusSignalFlags.NONE,
    (c, sender, path, iface, member, parameters) => {
        if (iface !== 'org.freedesktop.DBus')
            say({signal: member, iface, args: parameters.deepUnpack()});
    });
bus.call('${NAME}', '${PATH}', '${INTERFACE}', 'Register', null, null, Gio.DBusCallFlags.NONE,
    5000, null, (b, result) => {
        try {
            say({reply: b.call_finish(result).deepUnpack()});
        } catch (e) {
            say({error: e.message});
        }
    });
new GLib.MainLoop(null, false).run();
`;

// Signal handlers as GObject keeps them; disconnecting one that is not there is an error.
class Signals {
    constructor() {
        this._handlers = new Map();
        this._next = 1;
    }

    connect(name, callback) {
        this._handlers.set(this._next, {name, callback});
        return this._next++;
    }

    disconnect(id) {
        if (!this._handlers.delete(id))
            throw new Error(`disconnect of handler ${id}, which is not connected`);
    }

    emit(name, ...args) {
        for (const handler of [...this._handlers.values()]) {
            if (handler.name === name)
                handler.callback(this, ...args);
        }
    }

    get connected() {
        return this._handlers.size;
    }
}

// What mutter multiplies stage pixels by for X11 clients.
const mutter = {xwaylandScale: 1};

class FakeWindow extends Signals {
    constructor(id, title, frame, x11, mutterScales) {
        super();
        Object.assign(this, {id, title, frame, minimized: false});
        if (mutterScales) {
            this.stage_to_protocol_rect = rect => {
                const n = x11 ? mutter.xwaylandScale : 1;
                return {x: rect.x * n, y: rect.y * n, width: rect.width * n,
                    height: rect.height * n};
            };
        }
    }

    get_id() {
        return this.id;
    }

    get_title() {
        return this.title;
    }

    get_frame_rect() {
        return {...this.frame};
    }
}

function check(condition, what) {
    if (!condition)
        throw new Error(what);
}

function until(probe, what, seconds = 5) {
    const context = GLib.MainContext.default();
    const deadline = GLib.get_monotonic_time() + seconds * 1e6;
    for (;;) {
        while (context.iteration(false));
        const value = probe();
        if (value)
            return value;
        if (GLib.get_monotonic_time() > deadline)
            throw new Error(`timed out waiting for ${what}`);
        GLib.usleep(10000);
    }
}

// Lets the bus and the main loop settle for a while.
function settle(seconds) {
    const context = GLib.MainContext.default();
    const deadline = GLib.get_monotonic_time() + seconds * 1e6;
    while (GLib.get_monotonic_time() < deadline) {
        while (context.iteration(false));
        GLib.usleep(10000);
    }
}

// Every client started, so that none outlives the test.
const clients = [];

// A program on the bus running the client script; `lines` fills with what it prints.
class Client {
    constructor(program, script) {
        clients.push(this);
        this.lines = [];
        this.process = Gio.Subprocess.new([program, '-m', script],
            Gio.SubprocessFlags.STDOUT_PIPE);
        this._read(new Gio.DataInputStream({base_stream: this.process.get_stdout_pipe()}));
    }

    _read(stream) {
        stream.read_line_async(GLib.PRIORITY_DEFAULT, null, (s, result) => {
            const [line] = s.read_line_finish_utf8(result);
            if (line === null)
                return;
            this.lines.push(JSON.parse(line));
            this._read(stream);
        });
    }

    answer() {
        return until(() => this.lines.find(l => 'reply' in l || 'error' in l),
            'an answer to Register');
    }

    reports() {
        return this.lines.filter(l => l.signal === 'FocusChanged').map(l => l.args);
    }

    // The first report heard that `matches`.
    heard(matches, what) {
        return until(() => this.reports().find(matches), what);
    }

    end() {
        this.process.force_exit();
        this.process.wait(null);
    }
}

function owner() {
    try {
        return Gio.DBus.session.call_sync('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetNameOwner', new GLib.Variant('(s)', [NAME]), null,
            Gio.DBusCallFlags.NONE, -1, null).deepUnpack()[0];
    } catch (e) {
        return null;
    }
}

async function load(extensionDir, shell) {
    if (shell === 'shell43') {
        // As GNOME Shell 43 and 44 do: an importer over the extensions' folder, the extension's
        // `extension` from it, and init().
        const folder = Gio.File.new_for_path(extensionDir);
        imports.searchPath.unshift(folder.get_parent().get_path());
        return imports[folder.get_basename()].extension.init();
    }
    // The shell's own Extension class is a resource of gnome-shell; a stand-in takes its place.
    const dir = `${scratch}/${shell}-${GLib.get_monotonic_time()}`;
    GLib.mkdir_with_parents(dir, 0o700);
    const [, bytes] = GLib.file_get_contents(`${extensionDir}/extension.js`);
    const text = new TextDecoder().decode(bytes).replace(
        'resource:///org/gnome/shell/extensions/extension.js', './shell_extension.js');
    GLib.file_set_contents(`${dir}/extension.js`, text);
    GLib.file_set_contents(`${dir}/shell_extension.js`,
        'export class Extension { constructor(metadata) { this.metadata = metadata; } }');
    const module = await import(`file://${dir}/extension.js`);
    return new module.default({uuid: 'keltos-focus@keltos.github.io'});
}

async function exercise(extensionDir, row, programs) {
    const {entry, mutterScales} = row;
    const scaled = n => mutterScales ? n : 1;
    mutter.xwaylandScale = 2;
    const features = new Gio.Settings({schema_id: 'org.gnome.mutter'});
    // A value every mutter's schema takes (43's knows no xwayland-native-scaling); mutter 50 on
    // has no experimental features (its scaling is no longer one).
    const featured = features.settings_schema.has_key('experimental-features');
    if (featured)
        features.set_strv('experimental-features', ['scale-monitor-framebuffer']);
    const display = new Signals();
    const monitors = new Signals();
    globalThis.global = {display, backend: {get_monitor_manager: () => monitors}};
    // Six emoji: outside the 16-bit range, each is two UTF-16 units in JavaScript.
    const first = new FakeWindow(7, '\u{1F600}'.repeat(6), {x: 10, y: 40, width: 640, height: 400},
        false, mutterScales);
    const second = new FakeWindow(8, 'Mail B', {x: 700, y: 60, width: 500, height: 300}, false,
        mutterScales);
    const bar = new FakeWindow(9, 'KELTOS - 00:00:00', {x: 0, y: 0, width: 306, height: 19}, true,
        mutterScales);
    const windows = [first, second];
    display.list_all_windows = () => [...windows];
    display.focus_window = first;
    const followed = () => display.connected + monitors.connected + first.connected +
        second.connected;

    const extension = await load(extensionDir, entry);
    extension.enable();
    until(owner, `the extension to own ${NAME}`);
    check(followed() === 0, 'something is followed while no KELTOS is registered');

    // Another program asks, and listens to all that comes its way.
    const other = new Client(programs.other, programs.script);
    check('error' in other.answer(), `another program registered: ${JSON.stringify(other.lines)}`);
    check(followed() === 0, 'another program made the extension follow the focus');

    display.focus_window = second;
    display.emit('notify::focus-window');
    const keltos = new Client(programs.keltos, programs.script);
    let report = keltos.answer().reply;
    check(JSON.stringify(report?.slice(1)) ===
        JSON.stringify(['8', 'Mail ', 700, 60, 500, 300, false, 1]),
        `registered: ${JSON.stringify(keltos.lines)}`);
    check(second.connected === WINDOW_SIGNALS && first.connected === 0,
        'the focused window is not followed alone');

    // KELTOS's own bar shows: the scale is learnt from it.
    windows.push(bar);
    display.emit('window-created', bar);
    if (mutterScales) {
        report = keltos.heard(r => r[8] === 2, 'the scale once the bar shows');
        check(report[1] === '8', `scale with the bar: ${JSON.stringify(report)}`);
    }

    const secondKeltos = new Client(programs.keltos, programs.script);
    check(secondKeltos.answer().reply?.[8] === scaled(2),
        `second KELTOS: ${JSON.stringify(secondKeltos.lines)}`);

    display.focus_window = first;
    display.emit('notify::focus-window');
    const focused = keltos.heard(r => r[1] === '7', 'the newly focused window');
    check(JSON.stringify(focused.slice(1)) ===
        JSON.stringify(['7', '\u{1F600}'.repeat(5), 10, 40, 640, 400, false, scaled(2)]),
        `first window: ${JSON.stringify(focused)}`);
    check(focused[0] > report[0], 'serials do not grow');
    check(first.connected === WINDOW_SIGNALS && second.connected === 0,
        'the window that lost the focus is still followed');
    secondKeltos.heard(r => r[1] === '7', 'the second KELTOS to hear it too');

    // The monitors change the scale.
    mutter.xwaylandScale = 3;
    monitors.emit('monitors-changed');
    first.frame = {x: 20, y: 50, width: 640, height: 400};
    first.emit('position-changed');
    report = keltos.heard(r => r[3] === 20, 'the moved window');
    check(report[8] === scaled(3), `scale after the monitors changed: ${JSON.stringify(report)}`);

    // Mutter's experimental features change it too.
    mutter.xwaylandScale = 1;
    if (featured)
        features.set_strv('experimental-features', []);
    else
        monitors.emit('monitors-changed');
    if (mutterScales)
        keltos.heard(r => r[3] === 20 && r[8] === 1, 'the scale after the features changed');

    first.minimized = true;
    first.emit('notify::minimized');
    report = keltos.heard(r => r[7] === true, 'the minimized window');
    check(report[8] === 1, `scale of the minimized window: ${JSON.stringify(report)}`);

    // A KELTOS that ends is forgotten; after the last one nothing is followed.
    keltos.end();
    first.title = 'Terminal';
    first.emit('notify::title');
    secondKeltos.heard(r => r[2] === 'Termi', 'the remaining KELTOS to hear the new title');
    secondKeltos.end();
    until(() => followed() === 0, 'the extension to follow nothing once every KELTOS has gone');

    // Disabled, it tells the KELTOS it serves, then lets go of everything.
    const last = new Client(programs.keltos, programs.script);
    check(last.answer().reply?.[1] === '7', `registered again: ${JSON.stringify(last.lines)}`);
    extension.disable();
    last.heard(r => r[1] === '', 'the report after disable');
    check(followed() === 0, 'signals left after disable');
    until(() => owner() === null, `the extension to give up ${NAME}`);
    last.end();

    // The other program heard none of it, though it hears what the extension's connection
    // broadcasts.
    Gio.DBus.session.emit_signal(null, '/io/github/keltos/Test', 'io.github.keltos.Test', 'Probe',
        null);
    until(() => other.lines.some(l => l.signal === 'Probe'),
        'the other program to hear a broadcast');
    other.end();
    const overheard = other.lines.filter(l => l.iface === INTERFACE ||
        JSON.stringify(l).includes('Mail') || JSON.stringify(l).includes('\u{1F600}'));
    check(overheard.length === 0, `another program overheard: ${JSON.stringify(overheard)}`);
    print(`ok ${entry}${mutterScales ? ' (mutter scales X11 clients)' : ''}`);
}

const extensionDir = ARGV[0] ?? '';
// The test's files: the ES entry as a module, the client script, the stand-in KELTOS.
const scratch = GLib.dir_make_tmp('keltos-entries-XXXXXX');
let failed = false;
try {
    // KELTOS is told apart by its program's name: a copy of gjs named keltos stands for it.
    const programs = {
        keltos: `${scratch}/keltos`,
        other: GJS,
        script: `${scratch}/client.js`,
    };
    Gio.File.new_for_path(GJS).copy(Gio.File.new_for_path(programs.keltos),
        Gio.FileCopyFlags.NONE, null, null);
    GLib.file_set_contents(programs.script, CLIENT);
    for (const row of ROWS)
        await exercise(extensionDir, row, programs);
} catch (e) {
    printerr(`FAIL: ${e}\n${e.stack ?? ''}`);
    failed = true;
} finally {
    for (const client of clients)
        client.process.force_exit();
    GLib.spawn_sync(null, ['rm', '-rf', scratch], null, GLib.SpawnFlags.SEARCH_PATH, null);
}
System.exit(failed ? 1 : 0);
