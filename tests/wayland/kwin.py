"""KDE Plasma's compositor, KWin, headless, and how the tests ask it about its windows.

KWin is asked through scripts of the test's own, loaded over D-Bus like any KWin script and
independent of KELTOS's: each prints one JSON line into KWin's log, which is read back.
"""

import json
import os
import re
import shutil
import uuid

from session import Desktop, artifacts, require, wait_for

BREEZE = "/usr/lib/x86_64-linux-gnu/qt5/plugins/org.kde.kdecoration2/breezedecoration.so"

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
    name = "kwin"
    session_env = {"XDG_SESSION_TYPE": "wayland", "XDG_CURRENT_DESKTOP": "KDE"}

    def start(self, session):
        installed = require("kwin_wayland", "kwin-wayland")
        # Without a decoration plugin KWin draws no title bars.
        if not os.path.exists(BREEZE):
            raise RuntimeError("KWin's title bars are missing: install them with "
                               "'apt-get install kwin-style-breeze' (make test does this)")
        self.qdbus = require("qdbus", "qdbus-qt5")
        # The installed binary carries a file capability that a container may refuse to grant; a
        # plain copy runs. KWin's own platform plugin loads only into a program of this name.
        copy = os.path.join(session.runtime, "kwin", "kwin_wayland")
        os.makedirs(os.path.dirname(copy))
        shutil.copy(installed, copy)
        os.chown(os.path.dirname(copy), session.uid, session.gid)
        self.log = os.path.join(artifacts(), f"{self.name}-compositor.log")
        self.log_start = os.path.getsize(self.log) if os.path.exists(self.log) else 0
        envfile = os.path.join(session.runtime, "kwin.env")
        socket = "wayland-keltos"
        # KWin starts the program given after its options once XWayland is up, with DISPLAY set:
        # that program writes down the environment the session's X11 clients need.
        note = f"env > {envfile}.part && mv {envfile}.part {envfile}"
        self.process = session.spawn(
            [copy, "--virtual", "--xwayland", "--width", "1600", "--height", "900", "--socket",
             socket, "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities",
             f"sh -c '{note}'"], "compositor", env={"KWIN_COMPOSE": "Q"})
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

    def query(self, session, body):
        """Runs `body` (a JS function body) inside KWin; returns what it returned, as JSON."""
        token = "keltos-test-" + uuid.uuid4().hex
        path = os.path.join(session.runtime, token + ".js")
        with open(path, "w") as f:
            f.write(_QUERY % (body, token))
        os.chown(path, session.uid, session.gid)
        try:
            number = session.run(self.qdbus, "org.kde.KWin", "/Scripting",
                                 "org.kde.kwin.Scripting.loadScript", path, token).strip()
            for script in (f"/{number}", f"/Scripting/Script{number}"):  # Plasma 5, Plasma 6
                try:
                    session.run(self.qdbus, "org.kde.KWin", script, "org.kde.kwin.Script.run")
                    break
                except AssertionError:
                    continue

            def answer():
                with open(self.log, errors="replace") as log:
                    log.seek(self.log_start)
                    for line in log:
                        if line.startswith(f"js: {token} "):
                            return [json.loads(line.split(" ", 2)[2])]
                return None

            return wait_for(answer, 10, f"KWin to run a query script ({self.log})")[0]
        finally:
            session.run(self.qdbus, "org.kde.KWin", "/Scripting",
                        "org.kde.kwin.Scripting.unloadScript", token, check=False)
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

    def frame(self, session, title):
        answer = self.query(session, f"var w = find({json.dumps(title)}); return w && frame(w);")
        return tuple(answer) if answer else None

    def bar_above(self, session, title):
        answer = self.query(session, f"""
            var w = find({json.dumps(title)});
            var list = workspace.windowList ? workspace.windowList() : workspace.clientList();
            for (var i = 0; i < list.length; ++i)
                if (list[i].caption.indexOf("KELTOS - ") === 0)
                    return w && list[i].stackingOrder > w.stackingOrder;
            return false;""")
        return bool(answer)

    def close(self, session, title):
        """Asks the window with this title to close, as its close button does."""
        self.query(session, f"find({json.dumps(title)}).closeWindow();")

    def scripts(self, session):
        """How many scripts KWin holds besides the test's own: each is a D-Bus object."""
        paths = session.run(self.qdbus, "org.kde.KWin").split()
        return sum(1 for p in paths if re.fullmatch(r"/\d+|/Scripting/Script\d+", p))


# The other scales this desktop is run at, one Desktop each.
SCALED = []
