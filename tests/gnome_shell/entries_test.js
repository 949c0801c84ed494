// KELTOS's GNOME Shell extension through both of its entries (the script that GNOME Shell 43 and
// 44 load, the ES module of 45 on), each enabled and disabled inside gjs against a stand-in for
// the shell's display and windows, on a session bus of its own:
//   dbus-run-session -- gjs -m entries_test.js ENTRIES_DIR
// ENTRIES_DIR holds shell43/extension.js and shell45/extension.js as the build makes them.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const PATH = '/io/github/keltos/Focus';
const INTERFACE = 'io.github.keltos.Focus';
const WINDOW_SIGNALS = 4;  // title, minimized, position, size

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

    emit(name) {
        for (const handler of [...this._handlers.values()]) {
            if (handler.name === name)
                handler.callback();
        }
    }

    get connected() {
        return this._handlers.size;
    }
}

class FakeWindow extends Signals {
    constructor(id, title, frame) {
        super();
        Object.assign(this, {id, title, frame, minimized: false});
    }

    get_id() {
        return this.id;
    }

    get_title() {
        return this.title;
    }

    get_frame_rect() {
        return this.frame;
    }
}

function check(condition, what) {
    if (!condition)
        throw new Error(what);
}

// The FocusChanged signals that have come back over the bus since the last call.
const heard = [];
Gio.DBus.session.signal_subscribe(null, INTERFACE, 'FocusChanged', PATH, null,
    Gio.DBusSignalFlags.NONE, (c, s, p, i, n, parameters) => heard.push(parameters.deepUnpack()));
function lastHeard() {
    const context = GLib.MainContext.default();
    const deadline = GLib.get_monotonic_time() + 5e6;
    const before = heard.length;
    while (heard.length === before && GLib.get_monotonic_time() < deadline)
        context.iteration(false);
    check(heard.length > before, 'no FocusChanged signal');
    while (context.iteration(false));
    return heard[heard.length - 1];
}

async function load(entries, shell) {
    if (shell === 'shell43') {
        imports.searchPath.unshift(entries);
        return imports.shell43.extension.init();
    }
    // The shell's own Extension class is a resource of gnome-shell; a stand-in takes its place.
    const dir = GLib.dir_make_tmp('keltos-entry-XXXXXX');
    const [, bytes] = GLib.file_get_contents(`${entries}/${shell}/extension.js`);
    const text = new TextDecoder().decode(bytes).replace(
        'resource:///org/gnome/shell/extensions/extension.js', './shell_extension.js');
    GLib.file_set_contents(`${dir}/extension.js`, text);
    GLib.file_set_contents(`${dir}/shell_extension.js`,
        'export class Extension { constructor(metadata) { this.metadata = metadata; } }');
    const module = await import(`file://${dir}/extension.js`);
    return new module.default({uuid: 'keltos-focus@keltos.github.io'});
}

async function exercise(entries, shell) {
    const display = new Signals();
    globalThis.global = {display};
    // Six emoji: outside the 16-bit range, each is two UTF-16 units in JavaScript.
    const first = new FakeWindow(7, '\u{1F600}'.repeat(6), {x: 10, y: 40, width: 640, height: 400});
    const second = new FakeWindow(8, 'Mail B', {x: 700, y: 60, width: 500, height: 300});
    display.focus_window = first;

    const extension = await load(entries, shell);
    extension.enable();
    let report = lastHeard();
    check(report[1] === '7' && report[2] === '\u{1F600}'.repeat(5),
        `first window: ${JSON.stringify(report)}`);
    check(first.connected === WINDOW_SIGNALS && display.connected === 1, 'signals after enable');

    display.focus_window = second;
    display.emit('notify::focus-window');
    const moved = lastHeard();
    check(JSON.stringify(moved.slice(1)) === '["8","Mail ",700,60,500,300,false]',
        `second window: ${JSON.stringify(moved)}`);
    check(moved[0] > report[0], 'serials do not grow');
    check(first.connected === 0 && second.connected === WINDOW_SIGNALS,
        'the window that lost the focus is still followed');

    second.frame = {x: 720, y: 80, width: 500, height: 300};
    second.emit('position-changed');
    report = lastHeard();
    check(report[3] === 720 && report[4] === 80, `moved window: ${JSON.stringify(report)}`);
    second.minimized = true;
    second.emit('notify::minimized');
    check(lastHeard()[7] === true, 'minimized window');

    extension.disable();
    report = lastHeard();
    check(report[1] === '', `after disable: ${JSON.stringify(report)}`);
    check(second.connected === 0 && display.connected === 0, 'signals left after disable');
    print(`ok ${shell}`);
}

const entries = ARGV[0] ?? '';
try {
    for (const shell of ['shell43', 'shell45'])
        await exercise(entries, shell);
} catch (e) {
    printerr(`FAIL: ${e}\n${e.stack ?? ''}`);
    System.exit(1);
}
