"""KDE Plasma's compositor, KWin, headless, and how the tests ask it about its windows.

Plasma 5 (KWin 5.27) and Plasma 6 (KWin 6) alike: the generation comes from the installed KWin's
own version, and with it the D-Bus tool (qdbus or qdbus6) and the title-bar plugin.

KWin is asked through scripts of the test's own, loaded over D-Bus like any KWin script and
independent of KELTOS's: each prints one JSON line into KWin's log, which is read back. They are
started with Scripting.start (every loaded script that is not running yet), not through their
own D-Bus objects: KWin numbers a script by how many are loaded, so once one has been unloaded a
new script can get the number, and the object, of one that still runs.

The session's configuration lives in a folder of its own (XDG_CONFIG_HOME), made anew for each
session, so nothing that KWin writes there outlives it.
"""

import json
import os
import re
import shutil
import subprocess
import time
import uuid

from session import Desktop, artifacts, require, wait_for

# Title bars: without a decoration plugin KWin draws none.
BREEZE = {
    5: ("/usr/lib/x86_64-linux-gnu/qt5/plugins/org.kde.kdecoration2/breezedecoration.so",
        "kwin-style-breeze"),
    6: ("/usr/lib/x86_64-linux-gnu/qt6/plugins/org.kde.kdecoration3/org.kde.breeze.so",
        "kwin-style-breeze"),
}
# The D-Bus tool of the Qt that KWin is built on.
QDBUS = {5: ("qdbus", "qdbus-qt5"), 6: ("qdbus6", "qdbus-qt6")}

WIDTH, HEIGHT = 1600, 900  # the desktop, in logical pixels, at every scale

# A script's print() lands in KWin's log as "js: TEXT".
_QUERY = """
function find(title) {
    var list = workspace.windowList ? workspace.windowList() : workspace.clientList();
    for (var i = 0; i < list.length; ++i)
        if (list[i].caption === title) return list[i];
    return null;
}
function frame(w) {
    var g = w.frameGeometry;
    return [g.x, g.y, g.width, g.height];
}
var answer = (function () { %s })();
print("%s " + JSON.stringify(answer === undefined ? null : answer));
"""


class KWin(Desktop):
    """KWin at an output scale. With clients_scale (Plasma's default: "legacy X11 applications
    scale themselves") X11 clients get the logical pixels times the scale and Xft.dpi to match;
    without it they get logical pixels and KWin scales their windows up. With
    switch_on_clients_scale, the session starts without it and it is turned on once KELTOS
    runs."""

    session_env = {"XDG_SESSION_TYPE": "wayland", "XDG_CURRENT_DESKTOP": "KDE"}

    def __init__(self, output_scale=1, clients_scale=True, switch_on_clients_scale=False,
                 name=None):
        self.output_scale = output_scale
        self.switch_on_clients_scale = switch_on_clients_scale
        self.clients_scale_at_start = clients_scale and not switch_on_clients_scale
        self.clients_scale = self.clients_scale_at_start
        self.scale = output_scale if self.clients_scale else 1
        self.name = name or "kwin"

    # -- start -----------------------------------------------------------------------------

    def start(self, session):
        self.clients_scale = self.clients_scale_at_start
        self.scale = self.output_scale if self.clients_scale else 1
        self.bar_scale = None
        installed = require("kwin_wayland", "kwin-wayland")
        # The installed binary carries a file capability that a container may refuse to grant; a
        # plain copy runs. KWin's own platform plugin loads only into a program of this name.
        copy = os.path.join(session.runtime, "kwin", "kwin_wayland")
        os.makedirs(os.path.dirname(copy))
        shutil.copy(installed, copy)
        os.chown(os.path.dirname(copy), session.uid, session.gid)
        self.plasma = self._generation(copy)
        breeze, package = BREEZE[self.plasma]
        if not os.path.exists(breeze):
            raise RuntimeError(f"KWin's title bars are missing ({breeze}): install them with "
                               f"'apt-get install {package}' (make test does this)")
        self.qdbus = require(*QDBUS[self.plasma])
        self.xrdb = require("xrdb", "x11-xserver-utils")
        session.env["XDG_CONFIG_HOME"] = self._configure(session)

        self.log = os.path.join(artifacts(), f"{self.name}-compositor.log")
        self.log_start = os.path.getsize(self.log) if os.path.exists(self.log) else 0
        envfile = os.path.join(session.runtime, "kwin.env")
        socket = "wayland-keltos"
        # KWin starts the program given after its options once XWayland is up, with DISPLAY set:
        # that program writes down the environment the session's X11 clients need.
        note = f"env > {envfile}.part && mv {envfile}.part {envfile}"
        self.process = session.spawn(
            [copy, "--virtual", "--xwayland", "--width", str(WIDTH), "--height", str(HEIGHT),
             "--scale", str(self.output_scale), "--socket", socket, "--no-lockscreen",
             "--no-global-shortcuts", "--no-kactivities", f"sh -c '{note}'"], "compositor",
            env={"KWIN_COMPOSE": "Q"})
        wait_for(lambda: os.path.exists(envfile) or self.process.poll() is not None, 30,
                 "KWin and its XWayland")
        if self.process.poll() is not None:
            raise AssertionError(
                f"kwin_wayland ended with {self.process.returncode}; see {self.log}")
        with open(envfile) as f:
            started = dict(line.rstrip("\n").partition("=")[::2] for line in f if "=" in line)
        session.env["WAYLAND_DISPLAY"] = socket
        session.env["DISPLAY"] = started["DISPLAY"]
        if started.get("XAUTHORITY"):
            session.env["XAUTHORITY"] = started["XAUTHORITY"]
        self._settle_x11_scale(session, self.scale)

    @staticmethod
    def _generation(kwin):
        """5 or 6: the Plasma generation of this KWin, from its version ("kwin 6.3.6")."""
        out = subprocess.run([kwin, "--version"], capture_output=True, text=True, timeout=20)
        found = re.search(r"kwin (\d+)\.", out.stdout + out.stderr)
        if not found:
            raise AssertionError(f"cannot tell KWin's version: {out.stdout} {out.stderr}")
        generation = int(found[1])
        if generation not in BREEZE:
            raise AssertionError(f"KWin {generation} is neither Plasma 5 nor Plasma 6")
        return generation

    def _configure(self, session):
        """A fresh configuration folder for the session, as Plasma would leave it for this
        scale; returns it."""
        config = os.path.join(session.runtime, "config")
        os.makedirs(config)
        files = {"kdeglobals": f"[KScreen]\nXwaylandClientsScale={str(self.clients_scale).lower()}"
                               "\n"}
        if self.plasma == 5:
            # Plasma 5's display settings write the X11 scale for KWin, which reads it.
            if self.clients_scale:
                files["kwinrc"] = f"[Xwayland]\nScale={self.output_scale}\n"
        else:
            # KWin 6 keeps the outputs' scales itself (and writes kwinrc from them); a virtual
            # output without a saved scale would get 1.
            mode = {"width": round(WIDTH * self.output_scale),
                    "height": round(HEIGHT * self.output_scale), "refreshRate": 60000}
            files["kwinoutputconfig.json"] = json.dumps([
                {"name": "outputs", "data": [{"connectorName": "Virtual-0", "mode": mode,
                                              "scale": self.output_scale}]},
                {"name": "setups", "data": [{"lidClosed": False, "outputs": [
                    {"enabled": True, "outputIndex": 0, "position": {"x": 0, "y": 0},
                     "priority": 0}]}]},
            ])
        for name, text in files.items():
            with open(os.path.join(config, name), "w") as f:
                f.write(text)
        for path in [config] + [os.path.join(config, name) for name in files]:
            os.chown(path, session.uid, session.gid)
        return config

    def _settle_x11_scale(self, session, scale):
        """Waits for XWayland's root to span the desktop at this X11 scale, and gives X11
        clients the matching Xft.dpi, as Plasma does. KWin 6 runs XWayland's session scripts
        as XWayland starts, and one of them loads the system's X resources over whatever is
        there: the value is merged again until it has held for a second."""
        want = (round(WIDTH * scale), round(HEIGHT * scale))
        wait_for(lambda: self.root(session) == want, 10,
                 f"XWayland's root to be {want[0]}x{want[1]} (KWin at {self.output_scale}, "
                 f"X11 clients at {scale}; see {self.log})")
        dpi = f"Xft.dpi:\t{round(96 * scale)}"
        resources = os.path.join(session.runtime, "xresources")
        with open(resources, "w") as f:
            f.write(dpi + "\n")
        held_since = []

        def held():
            if dpi in session.run(self.xrdb, "-query").splitlines():
                held_since.append(time.monotonic())
                return held_since[-1] - held_since[0] >= 1
            held_since.clear()
            session.run(self.xrdb, "-merge", resources)
            return False

        wait_for(held, 10, f"X11 clients' resources to keep {dpi!r}", interval=0.1)

    def root(self, session):
        out = session.run(require("xwininfo", "x11-utils"), "-root", check=False)
        size = re.search(r"Width: (\d+).*?Height: (\d+)", out, re.S)
        return (int(size[1]), int(size[2])) if size else None

    # -- a scale changed while KELTOS runs ----------------------------------------------

    def while_running(self, session):
        if not self.switch_on_clients_scale:
            return
        # "Legacy X11 applications scale themselves" turned on in the display settings, as
        # Plasma carries it out: Plasma 6's KWin follows kdeglobals and writes kwinrc itself;
        # Plasma 5's display settings write kwinrc for KWin. Each file is announced with
        # KConfig's signal, and X11 clients get the matching Xft.dpi.
        config = session.env["XDG_CONFIG_HOME"]
        self.clients_scale = True
        if self.plasma == 6:
            self._add(session, os.path.join(config, "kdeglobals"),
                      "[KScreen]\nXwaylandClientsScale=true\n")
            self._notify(session, "kdeglobals", "KScreen", "XwaylandClientsScale")
        else:
            self._add(session, os.path.join(config, "kwinrc"),
                      f"[Xwayland]\nScale={self.output_scale}\n")
            self._notify(session, "kwinrc", "Xwayland", "Scale")
        # KELTOS's bar keeps the size and insets of the Xft.dpi it started with.
        self.bar_scale, self.scale = self.scale, self.output_scale
        self._settle_x11_scale(session, self.scale)

    @staticmethod
    def _add(session, path, text):
        """Adds entries to a KConfig file; a later entry overrides an earlier one."""
        with open(path, "a") as f:
            f.write("\n" + text)
        os.chown(path, session.uid, session.gid)

    @staticmethod
    def _notify(session, file, group, key):
        """KConfig's ConfigChanged for one key: path /<file>, argument a{saay}."""
        key_bytes = ", ".join(f"byte {b:#04x}" for b in key.encode())
        session.run(require("gdbus", "libglib2.0-bin"), "emit", "--session", "--object-path",
                    f"/{file}", "--signal", "org.kde.kconfig.notify.ConfigChanged",
                    f"{{'{group}': [[{key_bytes}]]}}")

    # -- asking KWin -----------------------------------------------------------------------

    def call(self, session, *args, check=True):
        return session.run(self.qdbus, "org.kde.KWin", *args, check=check).strip()

    def query(self, session, body):
        """Runs `body` (a JS function body) inside KWin; returns what it returned, as JSON."""
        token = "keltos-test-" + uuid.uuid4().hex
        path = os.path.join(session.runtime, token + ".js")
        with open(path, "w") as f:
            f.write(_QUERY % (body, token))
        os.chown(path, session.uid, session.gid)
        try:
            number = self.call(session, "/Scripting", "org.kde.kwin.Scripting.loadScript", path,
                               token)
            if number == "-1":
                raise AssertionError(f"KWin already holds a script named {token}")
            self.call(session, "/Scripting", "org.kde.kwin.Scripting.start")

            def answer():
                with open(self.log, errors="replace") as log:
                    log.seek(self.log_start)
                    for line in log:
                        if line.startswith(f"js: {token} "):
                            return [json.loads(line.split(" ", 2)[2])]
                return None

            return wait_for(answer, 10, f"KWin to run a query script ({self.log})")[0]
        finally:
            self.call(session, "/Scripting", "org.kde.kwin.Scripting.unloadScript", token,
                      check=False)
            os.unlink(path)

    def focus(self, session, title):
        found = self.query(session, f"""
            var w = find({json.dumps(title)});
            if (!w) return false;
            if (w.minimized) w.minimized = false;
            if (workspace.activeWindow !== undefined) workspace.activeWindow = w;
            else workspace.activeClient = w;
            return true;""")
        if not found:
            raise AssertionError(f"KWin has no window titled {title!r}")

    def minimize(self, session, title):
        self.query(session, f"find({json.dumps(title)}).minimized = true;")

    def move(self, session, title, x, y):
        self.query(session, f"""
            var w = find({json.dumps(title)}), g = w.frameGeometry;
            w.frameGeometry = {{x: {x}, y: {y}, width: g.width, height: g.height}};""")

    def frame(self, session, title):
        answer = self.query(session, f"var w = find({json.dumps(title)}); return w && frame(w);")
        return tuple(answer) if answer else None

    def bar_above(self, session, title):
        """Whether every KELTOS bar is stacked above the window with this title."""
        answer = self.query(session, f"""
            var w = find({json.dumps(title)});
            var list = workspace.windowList ? workspace.windowList() : workspace.clientList();
            var bars = 0;
            for (var i = 0; i < list.length; ++i)
                if (list[i].caption.indexOf("KELTOS - ") === 0) {{
                    if (!w || list[i].stackingOrder < w.stackingOrder) return false;
                    ++bars;
                }}
            return bars > 0;""")
        return bool(answer)

    def close(self, session, title):
        """Asks the window with this title to close, as its close button does."""
        self.query(session, f"find({json.dumps(title)}).closeWindow();")

    # -- KELTOS's scripts ----------------------------------------------------------------

    def loaded(self, session, name):
        """Whether KWin holds a script of this name."""
        return self.call(session, "/Scripting", "org.kde.kwin.Scripting.isScriptLoaded",
                         name) == "true"

    def bus_name(self, session, pid):
        """The unique name on the session bus of the connection of process `pid`."""
        bus = ["org.freedesktop.DBus", "/org/freedesktop/DBus"]

        def find():
            names = session.run(self.qdbus, *bus, "org.freedesktop.DBus.ListNames").split()
            for name in names:
                if name.startswith(":") and session.run(
                        self.qdbus, *bus, "org.freedesktop.DBus.GetConnectionUnixProcessID",
                        name, check=False).strip() == str(pid):
                    return name
            return None

        return wait_for(find, 10, f"process {pid} on the session bus")

    def script_of(self, session, pid):
        """(name, file) of the script the KELTOS of process `pid` has loaded into KWin: the file
        in the runtime directory named after its unique bus name, the script after the file.
        Waits until KWin holds it."""
        owner = self.bus_name(session, pid)

        def find():
            for entry in os.listdir(session.runtime):
                if entry.endswith(".js") and owner in entry:
                    name = entry[:-len(".js")]
                    if self.loaded(session, name):
                        return name, os.path.join(session.runtime, entry)
            return None

        return wait_for(find, 10, f"a script of KELTOS {owner} (process {pid}) in KWin")

    def gone(self, session, script):
        """Whether a script (name, file) is neither in KWin nor in the runtime directory."""
        name, path = script
        return not os.path.exists(path) and not self.loaded(session, name)


# The other scales this desktop is run at, one Desktop each.
SCALED = [
    KWin(output_scale=1.5, name="kwin-150"),
    KWin(output_scale=2, name="kwin-200"),
    KWin(output_scale=2, clients_scale=False, name="kwin-200-system"),
    KWin(output_scale=2, switch_on_clients_scale=True, name="kwin-200-system-then-self"),
]
