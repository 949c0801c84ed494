"""GNOME Shell on Wayland, headless, with KELTOS's extension as `make install` puts it.

The shell runs with a throw-away system bus (without one it takes the container for a logind
seat and dies), its settings in a key file of the session's own (so nothing outlives it), and two
extensions enabled before it starts: KELTOS's, from a staging prefix, and the test's own, which
only turns on unsafe mode (its script entry for GNOME Shell 43 and 44, its ES module from 45 on).
The shell checks both extensions' metadata against its version, as a user's shell does. The test
asks the shell about its windows through org.gnome.Shell.Eval, never through KELTOS's extension.

A scaled session gives its one monitor a scale through mutter's DisplayConfig interface once the
shell runs, checks that XWayland's root is the stage times the scale X11 clients get, and gives
X11 clients the Xft.dpi that gnome-settings-daemon would (96 times that scale).
"""

import ast
import glob
import json
import os
import re
import shutil
import subprocess

from session import DEBIAN_PYTHON, HERE, Desktop, require, wait_for

EVAL_UUID = "keltos-test-eval@keltos.github.io"
XSETTINGS = "/usr/libexec/gsd-xsettings"
WAYLAND_DISPLAY = "keltos-gnome"

# Sets the scale of the shell's one monitor (the nearest it supports to argv[1]) through
# org.gnome.Mutter.DisplayConfig, for this session only (no confirmation dialog).
_APPLY_SCALE = r"""
import sys
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
def call(method, arguments, reply):
    return bus.call_sync("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                         "org.gnome.Mutter.DisplayConfig", method, arguments,
                         GLib.VariantType(reply) if reply else None, 0, 10000, None)
serial, monitors, _, _ = call("GetCurrentState", None,
    "(ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv})").unpack()
(connector, _, _, _), modes, _ = monitors[0]
mode = next(m for m in modes if m[6].get("is-current"))
scale = min(mode[5], key=lambda s: abs(s - float(sys.argv[1])))
call("ApplyMonitorsConfig", GLib.Variant("(uua(iiduba(ssa{sv}))a{sv})", (
    serial, 1, [(0, 0, scale, 0, True, [(connector, mode[0], {})])], {})), None)
print(scale)
"""

# Another program on the session bus: it subscribes to every signal that comes its way without
# eavesdropping (every broadcast, and whatever is addressed to it), asks KELTOS's extension to
# register it, and prints one JSON line for each thing it hears.
LISTENER = r"""
import json
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
def say(what):
    print(json.dumps(what), flush=True)
bus.signal_subscribe(None, None, None, None, None, Gio.DBusSignalFlags.NONE,
                     lambda c, sender, path, interface, member, parameters: say(
                         {"sender": sender, "member": member, "interface": interface,
                          "args": parameters.print_(False)}))
def answered(b, result):
    try:
        say({"reply": b.call_finish(result).print_(False)})
    except GLib.Error as e:
        say({"error": e.message})
bus.call("io.github.keltos.Focus", "/io/github/keltos/Focus", "io.github.keltos.Focus",
         "Register", None, None, Gio.DBusCallFlags.NONE, 5000, None, answered)
GLib.MainLoop().run()
"""


def shell_version():
    """The installed GNOME Shell's major version (43, Debian 12's, when there is none yet: the
    session then fails to start with what to install)."""
    if not shutil.which("gnome-shell"):
        return 43
    out = subprocess.run(["gnome-shell", "--version"],
                         capture_output=True, text=True).stdout
    match = re.search(r"GNOME Shell (\d+)", out)
    if not match:
        raise AssertionError(f"cannot tell GNOME Shell's version from {out!r}")
    return int(match.group(1))


class GnomeShell(Desktop):
    name = "gnome"
    session_env = {"XDG_CURRENT_DESKTOP": "GNOME", "XDG_SESSION_TYPE": "wayland"}

    def __init__(self, name="gnome", monitor="1600x900", monitor_scale=1, features=None,
                 scale=1, physical=False):
        """A session on one monitor of `monitor` times `monitor_scale` pixels, at that scale.
        `features`: mutter's experimental features, when not the installed default. `scale`:
        X11 pixels per logical pixel, as mutter gives them to X11 clients there. `physical`:
        the shell lays its stage out in the monitor's own pixels (GNOME 43's default)."""
        self.uuid = os.environ.get("KELTOS_GNOME_EXTENSION_UUID", "")
        self.name, self.monitor, self.monitor_scale = name, monitor, monitor_scale
        self.features, self.scale = features, scale
        width, height = (int(v) for v in monitor.split("x"))
        grow = monitor_scale if physical else 1
        self.size = (round(width * grow), round(height * grow))

    # -- start -----------------------------------------------------------------------------

    def start(self, session):
        shell = require("gnome-shell", "gnome-shell")
        require("gdbus", "libglib2.0-bin")
        require("gsettings", "libglib2.0-bin")
        build = os.environ.get("KELTOS_BUILD_DIR", "")
        if not self.uuid or not os.path.isdir(build):
            raise RuntimeError("KELTOS_BUILD_DIR and KELTOS_GNOME_EXTENSION_UUID must be set "
                               "(ctest sets them)")
        runtime = session.runtime
        # make install into a staging prefix; the shell finds the extension through XDG_DATA_DIRS.
        prefix = os.path.join(runtime, "prefix")
        installed = subprocess.run([require("cmake", "cmake"), "--install", build, "--prefix",
                                    prefix], capture_output=True, text=True)
        if installed.returncode != 0:
            raise AssertionError(f"make install into {prefix} failed: {installed.stderr}")
        staged = os.path.join(prefix, "share", "gnome-shell", "extensions", self.uuid)
        if not os.path.isfile(os.path.join(staged, "extension.js")):
            raise AssertionError(f"make install put no extension at {staged}")
        self._install_eval(os.path.join(runtime, "test-share"))
        config = os.path.join(runtime, "config")
        os.makedirs(config)
        os.chown(config, session.uid, session.gid)

        system_bus = f"unix:path={runtime}/system_bus"
        session.spawn([require("dbus-daemon", "dbus"), "--session", "--nofork",
                       f"--address={system_bus}"], "system-bus")
        wait_for(lambda: os.path.exists(f"{runtime}/system_bus"), 10, "the throw-away system bus")
        session.env.update({
            "DBUS_SYSTEM_BUS_ADDRESS": system_bus,
            "XDG_DATA_DIRS": f"{prefix}/share:{runtime}/test-share:/usr/local/share:/usr/share",
            "XDG_CONFIG_HOME": config,
            "GSETTINGS_BACKEND": "keyfile",
        })
        self.set_extensions(session, [self.uuid, EVAL_UUID])
        if self.features is not None:
            session.run("gsettings", "set", "org.gnome.mutter", "experimental-features",
                        json.dumps(self.features), env=self.session_env)

        size = "x".join(str(round(int(v) * self.monitor_scale)) for v in self.monitor.split("x"))
        session.spawn([shell, "--headless", "--wayland", "--virtual-monitor", size,
                       "--wayland-display", WAYLAND_DISPLAY], "shell",
                      env=self.session_env)
        wait_for(lambda: self._try_eval(session, "Main.layoutManager._startingUp === false"), 30,
                 "GNOME Shell to start in unsafe mode (see gnome-shell.log)", interval=0.2)
        # The overview is open after start-up, and while it is nothing has the focus.
        wait_for(lambda: self.eval(session, "Main.overview.hide(); "
                                   "!Main.overview.visible && !Main.overview.animationInProgress"),
                 10, "the overview to close", interval=0.2)
        # The shell loads KELTOS's extension only if its metadata names this shell's version.
        state = f"Main.extensionManager.lookup('{self.uuid}')"
        try:
            wait_for(lambda: self.eval(session, f"{state}?.state") == 1, 10,
                     "GNOME Shell to enable KELTOS's extension")  # ExtensionState.ENABLED/ACTIVE
        except AssertionError:
            found, error = self.eval(session, f"[{state}?.state ?? null, `${{{state}?.error}}`]")
            why = {None: "not found", 3: f"error: {error}",
                   4: "out of date: its metadata does not name this shell's version"}
            raise AssertionError("GNOME Shell did not enable KELTOS's extension ("
                                 f"{why.get(found, f'state {found}')})") from None
        display = self.eval(session, "imports.gi.GLib.getenv('DISPLAY')")
        auth = glob.glob(f"{runtime}/.mutter-Xwaylandauth.*")
        if not display or not auth:
            raise AssertionError(f"GNOME Shell started no XWayland (DISPLAY {display!r}, {auth})")
        session.env.update({"WAYLAND_DISPLAY": WAYLAND_DISPLAY, "DISPLAY": display,
                            "XAUTHORITY": auth[0]})
        if shell_version() >= 50:
            # GNOME 50 on tells X11 clients their DPI only through gsd-xsettings, which a GNOME
            # session starts before it serves X11 clients.
            session.spawn([require(XSETTINGS, "gnome-settings-daemon")], "xsettings",
                          env={"GDK_BACKEND": "x11"})
            self._wait_for_dpi(session, 96)
        if self.monitor_scale != 1:
            self._scale_monitor(session)

    def _install_eval(self, share):
        """The test's unsafe-mode extension, with the entry this shell loads."""
        target = os.path.join(share, "gnome-shell", "extensions", EVAL_UUID)
        os.makedirs(target)
        source = os.path.join(HERE, "gnome_eval")
        entry = "extension-45.js" if shell_version() >= 45 else "extension-43.js"
        shutil.copy(os.path.join(source, entry), os.path.join(target, "extension.js"))
        shutil.copy(os.path.join(source, "metadata.json"), target)

    def _scale_monitor(self, session):
        applied = float(session.run(DEBIAN_PYTHON, "-c", _APPLY_SCALE, str(self.monitor_scale)))
        if abs(applied - self.monitor_scale) > 0.01:
            raise AssertionError(f"the monitor takes no scale {self.monitor_scale} "
                                 f"(nearest: {applied})")
        wait_for(lambda: self.eval(session, "global.display.get_monitor_scale(0)")
                 == applied, 10, f"the monitor to take the scale {applied}")
        stage = self.eval(session, "[global.stage.width, global.stage.height]")
        # What X11 clients see: the stage times the scale mutter gives them.
        root = session.run(require("xwininfo", "x11-utils"), "-root")
        width = int(re.search(r"Width: (\d+)", root).group(1))
        height = int(re.search(r"Height: (\d+)", root).group(1))
        if [width, height] != [v * self.scale for v in stage]:
            raise AssertionError(f"XWayland's root is {width}x{height}, not the stage {stage} "
                                 f"times {self.scale}: the row's scale is not mutter's")
        if shell_version() >= 50:
            self._wait_for_dpi(session, 96 * self.scale)  # from gsd-xsettings
            return
        resources = os.path.join(session.runtime, "Xresources")
        with open(resources, "w") as f:
            f.write(f"Xft.dpi: {96 * self.scale}\n")
        session.run(require("xrdb", "x11-xserver-utils"), "-merge", resources)

    @staticmethod
    def _wait_for_dpi(session, dpi):
        query = [require("xrdb", "x11-xserver-utils"), "-query"]
        wait_for(lambda: f"Xft.dpi:\t{dpi}" in session.run(*query).splitlines(), 10,
                 f"X11 clients' Xft.dpi to be {dpi} (gsd-xsettings: see gnome-xsettings.log)")

    def switch_extension(self, session, on):
        """Turns KELTOS's extension on or off in the running shell, as a user would."""
        session.run("gnome-extensions", "enable" if on else "disable", self.uuid)
        enabled = 1  # ExtensionState.ENABLED (ACTIVE from 45 on)
        wait_for(lambda: (self.eval(session, f"Main.extensionManager.lookup('{self.uuid}')"
                                             ".state") == enabled) == on,
                 5, f"the extension to be {'on' if on else 'off'}")

    @staticmethod
    def set_extensions(session, uuids):
        session.run("gsettings", "set", "org.gnome.shell", "enabled-extensions", json.dumps(uuids))

    # -- asking the shell ------------------------------------------------------------------

    def _try_eval(self, session, code):
        try:
            return self.eval(session, code)
        except AssertionError:
            return None

    @staticmethod
    def eval(session, code):
        """The JSON value of a JavaScript expression, evaluated inside GNOME Shell."""
        out = session.run("gdbus", "call", "--session", "--dest", "org.gnome.Shell",
                          "--object-path", "/org/gnome/Shell", "--method",
                          "org.gnome.Shell.Eval", code).strip()
        match = re.fullmatch(r"\((true|false), (.*)\)", out, re.S)
        if not match:
            raise AssertionError(f"unexpected answer from Eval: {out}")
        text = ast.literal_eval(match.group(2))
        if match.group(1) != "true":
            raise AssertionError(f"Eval of {code!r} failed: {text or 'not in unsafe mode'}")
        return json.loads(text) if text else None

    def window_js(self, title):
        """JavaScript for the window with this exact title (undefined when there is none)."""
        return ("global.get_window_actors().map(a => a.meta_window)"
                f".find(w => w.get_title() === {json.dumps(title)})")

    def move(self, session, title, x, y):
        self.eval(session, f"{self.window_js(title)}.move_frame(true, {x}, {y})")

    def focus(self, session, title):
        self.eval(session, f"Main.activateWindow({self.window_js(title)}, "
                           "global.get_current_time())")
        wait_for(lambda: self.eval(session, "global.display.focus_window?.get_title() ?? null")
                 == title, 5, f"GNOME Shell to focus '{title}'")

    def minimize(self, session, title):
        self.eval(session, f"{self.window_js(title)}.minimize()")
        wait_for(lambda: self.eval(session, f"{self.window_js(title)}.minimized"), 5,
                 f"'{title}' to be minimized")

    def frame(self, session, title):
        return self.eval(session, f"(w => w ? (r => [r.x, r.y, r.width, r.height])"
                                  f"(w.get_frame_rect()) : null)({self.window_js(title)})")

    def bar_above(self, session, title):
        # Every KELTOS bar is stacked above the window.
        return self.eval(session, f"""(() => {{
            const windows = global.get_window_actors().map(a => a.meta_window);
            const other = {self.window_js(title)};
            const bars = windows.filter(w => (w.get_title() ?? '').startsWith('KELTOS - '));
            return bars.length > 0 && bars.every(bar =>
                global.display.sort_windows_by_stacking([bar, other])[1] === bar);
        }})()""")

    def notifications(self, session, text):
        """How many notifications in the shell's message tray have `text` in their body."""
        return self.eval(session, f"""Main.messageTray.getSources()
            .flatMap(source => source.notifications)
            .filter(n => (n.body ?? n.bannerBodyText ?? '').includes({json.dumps(text)}))
            .length""")


def _scaled():
    """The other scales GNOME Shell is run at here, by the installed shell's version: a row
    each, with the scale mutter gives X11 clients there."""
    if shell_version() >= 47:
        return [
            # Debian 13's settings, and GNOME 50's own: native scaling for X11 clients
            # (mutter's xwayland-native-scaling with scale-monitor-framebuffer).
            GnomeShell("gnome-200", monitor_scale=2, scale=2),
            # A fractional scale; X11 clients get the next whole number.
            GnomeShell("gnome-150", monitor="1920x1080", monitor_scale=1.5, scale=2),
        ] + ([
            # Without native scaling X11 clients are drawn at 1 and scaled up by the shell
            # (GNOME 50 on has native scaling only).
            GnomeShell("gnome-200-upscaled", monitor_scale=2,
                       features=["scale-monitor-framebuffer"], scale=1),
        ] if shell_version() < 50 else [])
    return [
        # Physical layout (GNOME 43's default): the stage is the monitor's pixels.
        GnomeShell("gnome-200-physical", monitor_scale=2, scale=1, physical=True),
        # Logical layout: X11 clients are drawn at 1 and scaled up by the shell.
        GnomeShell("gnome-200-logical", monitor_scale=2, features=["scale-monitor-framebuffer"],
                   scale=1),
    ]


# The other scales this desktop is run at, one Desktop each.
SCALED = _scaled()
