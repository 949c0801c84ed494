"""GNOME Shell on Wayland, headless, with KELTOS's extension as `make install` puts it.

The shell runs with a throw-away system bus (without one it takes the container for a logind
seat and dies), its settings in a key file of the session's own (so nothing outlives it), and two
extensions enabled before it starts: KELTOS's, from a staging prefix, and the test's own, which
only turns on unsafe mode. The test asks the shell about its windows through
org.gnome.Shell.Eval, never through KELTOS's extension.
"""

import ast
import glob
import json
import os
import re
import shutil
import subprocess

from session import HERE, Desktop, require, wait_for

EVAL_UUID = "keltos-test-eval@keltos.github.io"
WAYLAND_DISPLAY = "keltos-gnome"


class GnomeShell(Desktop):
    name = "gnome"
    session_env = {"XDG_CURRENT_DESKTOP": "GNOME", "XDG_SESSION_TYPE": "wayland"}

    def __init__(self):
        self.uuid = os.environ.get("KELTOS_GNOME_EXTENSION_UUID", "")

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
        tests_share = os.path.join(runtime, "test-share")
        shutil.copytree(os.path.join(HERE, "gnome_eval"),
                        os.path.join(tests_share, "gnome-shell", "extensions", EVAL_UUID))
        config = os.path.join(runtime, "config")
        os.makedirs(config)
        os.chown(config, session.uid, session.gid)

        system_bus = f"unix:path={runtime}/system_bus"
        session.spawn([require("dbus-daemon", "dbus"), "--session", "--nofork",
                       f"--address={system_bus}"], "system-bus")
        wait_for(lambda: os.path.exists(f"{runtime}/system_bus"), 10, "the throw-away system bus")
        session.env.update({
            "DBUS_SYSTEM_BUS_ADDRESS": system_bus,
            "XDG_DATA_DIRS": f"{prefix}/share:{tests_share}:/usr/local/share:/usr/share",
            "XDG_CONFIG_HOME": config,
            "GSETTINGS_BACKEND": "keyfile",
        })
        self.set_extensions(session, [self.uuid, EVAL_UUID])
        session.run("gsettings", "set", "org.gnome.shell",
                    "disable-extension-version-validation", "true")

        session.spawn([shell, "--headless", "--wayland", "--virtual-monitor", "1600x900",
                       "--wayland-display", WAYLAND_DISPLAY], "shell",
                      env=self.session_env)
        wait_for(lambda: self._try_eval(session, "Main.layoutManager._startingUp === false"), 30,
                 "GNOME Shell to start in unsafe mode (see gnome-shell.log)", interval=0.2)
        # The overview is open after start-up, and while it is nothing has the focus.
        wait_for(lambda: self.eval(session, "Main.overview.hide(); "
                                   "!Main.overview.visible && !Main.overview.animationInProgress"),
                 10, "the overview to close", interval=0.2)
        display = self.eval(session, "imports.gi.GLib.getenv('DISPLAY')")
        auth = glob.glob(f"{runtime}/.mutter-Xwaylandauth.*")
        if not display or not auth:
            raise AssertionError(f"GNOME Shell started no XWayland (DISPLAY {display!r}, {auth})")
        session.env.update({"WAYLAND_DISPLAY": WAYLAND_DISPLAY, "DISPLAY": display,
                            "XAUTHORITY": auth[0]})

    def switch_extension(self, session, on):
        """Turns KELTOS's extension on or off in the running shell, as a user would."""
        session.run("gnome-extensions", "enable" if on else "disable", self.uuid)
        enabled = 1  # ExtensionState.ENABLED
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


# The other scales this desktop is run at, one Desktop each.
SCALED = []
