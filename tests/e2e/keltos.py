"""Starting the real program in an X session and finding and clicking its bar from outside."""

import os
import signal
import subprocess
import unittest

from xsession import XSession, artifacts, end, open_log  # noqa: F401 (artifacts: for tests)

# The controls' rectangles in pixels at 96 DPI (twips / 15), as a user aims at them.
CONTROLS = {
    "Label1": (4, 4, 67, 13),
    "txtTime": (74, 0, 69, 19),
    "btnStart": (148, 0, 47, 17),
    "btnStop": (196, 0, 39, 17),
    "btnReset": (236, 0, 47, 17),
    "btnEnd": (286, 0, 17, 17),
}


def binary():
    path = os.environ.get("KELTOS_BIN")
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError("KELTOS_BIN must name the built keltos program (ctest sets it)")
    return path


class Keltos:
    """The program running in `session`; `window` is its top-level X window."""

    def __init__(self, session, env=None, ignore=(), wrap=()):
        """`env`: variables over the session's (None: unset); `ignore`: signals the program
        starts with ignored, as a shell's background job; `wrap`: a command that runs it."""
        self.session = session
        self.log = open_log("keltos-stderr")

        def ignored():
            for number in ignore:
                signal.signal(number, signal.SIG_IGN)

        environment = {k: v for k, v in session.env(**(env or {})).items() if v is not None}
        self.process = subprocess.Popen([*wrap, binary()], env=environment,
                                        stdout=self.log, stderr=self.log, preexec_fn=ignored)
        try:
            self.window = session.wait_for(self._find, 10, "the KELTOS window")
        except BaseException:
            self.stop()
            raise

    def _find(self):
        if self.process.poll() is not None:
            raise AssertionError(f"keltos exited with status {self.process.returncode}")
        out = self.session.run("xdotool", "search", "--onlyvisible", "--name", "^KELTOS - ",
                               check=False)
        ids = [int(x) for x in out.split()]
        return ids[0] if ids else None

    def title(self):
        """The title as other programs read it: WM_NAME, and _NET_WM_NAME must agree with it."""
        for _ in range(5):
            # The two are read one after the other, so a tick may fall between them: read again.
            wm_name = self.session.prop(self.window, "WM_NAME").strip('"')
            net_name = self.session.prop(self.window, "_NET_WM_NAME").strip('"')
            if wm_name == net_name:
                return wm_name
        raise AssertionError(f"WM_NAME {wm_name!r} != _NET_WM_NAME {net_name!r}")

    def geometry(self):
        return self.session.geometry(self.window)

    def click(self, control):
        x, y, w, h = CONTROLS[control]
        self.session.run("xdotool", "mousemove", "--window", str(self.window),
                         str(x + w // 2), str(y + h // 2), "click", "1")

    def stop(self):
        try:
            end(self.process)
        finally:
            self.log.close()


# START, STOP and RESET enabled in each state of the stopwatch.
IDLE = {"START": True, "STOP": False, "RESET": False}
RUNNING = {"START": False, "STOP": True, "RESET": True}
PAUSED = {"START": True, "STOP": False, "RESET": True}


class BarTest(unittest.TestCase):
    """A test with an X session of its own and the bar running in it, both ended afterwards
    (also when starting the bar fails). Subclasses set `session_options` for XSession and
    `keltos_env` for the program; with accessibility=True the bar's controls can be read as a
    screen reader reads them."""

    session_options = {}
    keltos_env = {}

    def setUp(self):
        self.session = XSession(**self.session_options)
        self.addCleanup(self.session.stop)
        self.session.start()
        self.keltos = Keltos(self.session, env=self.keltos_env)
        self.addCleanup(self.keltos.stop)

    def controls(self):
        """The bar's controls through the accessibility bus, by name (or role when unnamed)."""
        tree = self.session.wait_for(lambda: self.session.accessible("keltos"), 10,
                                     "keltos on the accessibility bus")
        return {c["name"] or c["role"]: c for c in tree}

    def wait_for_controls(self, what, enabled=None, focus=None, timeout=5):
        """Waits until the buttons are `enabled` ({name: bool}) and the control named `focus`
        (or the role "text" for the time box) has the keyboard focus."""
        seen = {}

        def reached():
            seen.clear()
            seen.update(self.controls())
            return ((focus is None or seen.get(focus, {}).get("focused"))
                    and all(seen[name]["enabled"] == on for name, on in (enabled or {}).items()))
        try:
            self.session.wait_for(reached, timeout, what)
        except AssertionError:
            focused = [name for name, c in seen.items() if c.get("focused")]
            states = {name: seen[name]["enabled"] for name in (enabled or {}) if name in seen}
            raise AssertionError(f"{what}: focus on {focused}, enabled {states}") from None
