"""The real bar under a hostile desktop: chaotic windows and titles, a window manager that dies
and comes back, and an X server that goes away."""

import os
import re
import signal
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from keltos import Keltos  # noqa: E402
from test_docking import docked_place, frame_rect  # noqa: E402
from xsession import XSession, end  # noqa: E402

SCREEN = (1280, 1024)  # the session's root window


def chaos_binary():
    path = os.environ.get("KELTOS_CHAOS_BIN")
    if not path or not os.access(path, os.X_OK):
        raise RuntimeError("KELTOS_CHAOS_BIN must name the built chaos_windows program "
                           "(ctest sets it)")
    return path


def on_some_screen(geometry):
    x, y, w, h = geometry
    return x < SCREEN[0] and y < SCREEN[1] and x + w > 0 and y + h > 0


def elapsed_seconds(title):
    match = re.search(r"(\d\d):(\d\d):(\d\d)$", title)
    if not match:
        raise AssertionError(f"the title {title!r} does not end with an elapsed text")
    h, m, s = (int(v) for v in match.groups())
    return h * 3600 + m * 60 + s


class Chaos(unittest.TestCase):
    def test_survives_hostile_windows_and_follows_the_last_ordinary_one(self):
        seconds = float(os.environ.get("KELTOS_CHAOS_SECONDS", "60"))
        with XSession() as session:
            keltos = Keltos(session)
            chaos = None
            try:
                keltos.click("btnStart")
                chaos = subprocess.Popen([chaos_binary(), str(seconds), "6"], env=session.env(),
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         text=True)
                checks = 0
                while chaos.poll() is None and checks < seconds * 4 + 40:
                    self.assertIsNone(keltos.process.poll(), "keltos ended during the chaos")
                    geometry = keltos.geometry()
                    self.assertTrue(on_some_screen(geometry), f"the bar left the screen: {geometry}")
                    checks += 1
                    line = chaos.stdout.readline() if self._ready(chaos) else ""
                    if line.startswith("final "):
                        break
                    time.sleep(0.25)
                else:
                    line = chaos.stdout.readline()
                self.assertTrue(line.startswith("final "),
                                f"chaos_windows ended with {chaos.poll()}: {line!r}")
                last = int(line.split()[1])
                session.wait_for(lambda: session.prop(last, "WM_STATE"), 10,
                                 "the window manager to take on the last window")
                session.run("xdotool", "windowactivate", "--sync", str(last))
                place = docked_place(frame_rect(session, last))
                session.wait_for(lambda: keltos.geometry()[:2] == place, 2.5,
                                 f"the bar to dock at {place} on the last window")
                counted = elapsed_seconds(keltos.title())
                self.assertGreaterEqual(counted, int(seconds) - 1, "the count fell behind")
                self.assertIsNone(keltos.process.poll())
            finally:
                try:
                    if chaos:
                        chaos.stdin.close()  # asks it to end
                        chaos.wait(10)
                finally:
                    end(chaos)
                    keltos.stop()

    @staticmethod
    def _ready(process):
        import select
        return bool(select.select([process.stdout], [], [], 0)[0])


class WindowManager(unittest.TestCase):
    def test_killed_and_restarted_leaves_the_bar_running_and_topmost(self):
        with XSession() as session:
            keltos = Keltos(session)
            try:
                keltos.click("btnStart")
                session._wm.send_signal(signal.SIGKILL)
                session._wm.wait(5)
                session._wm = None
                session.holds(lambda: keltos.process.poll() is None, 1.5,
                              "keltos running after the window manager died")
                session.start_wm()
                session.wait_for(
                    lambda: "_NET_WM_STATE_ABOVE" in session.prop(keltos.window,
                                                                  "_NET_WM_STATE"),
                    5, "the new window manager to keep the bar above")
                # An ordinary window right under the bar, brought to the front: the bar stays on
                # top of it, and docks on it.
                x, y, _, _ = keltos.geometry()
                window = session.open_window("Ordinary", max(0, x - 100), max(0, y - 10), 600,
                                             300)
                window.activate()
                place = docked_place(frame_rect(session, window.id))
                session.wait_for(lambda: keltos.geometry()[:2] == place, 2.5,
                                 f"the bar to dock at {place} under the new window manager")
                stacking = session.root_property("_NET_CLIENT_LIST_STACKING")
                order = [int(v, 16) for v in re.findall(r"0x[0-9a-f]+", stacking)]
                self.assertIn(keltos.window, order, stacking)
                self.assertGreater(order.index(keltos.window), order.index(window.id),
                                   f"the bar is below the ordinary window: {stacking}")
                before = elapsed_seconds(keltos.title())
                session.wait_for(lambda: elapsed_seconds(keltos.title()) > before, 2.5,
                                 "the bar to keep counting")
                window.close()
            finally:
                keltos.stop()


class XServerGone(unittest.TestCase):
    def test_ends_within_a_second_with_a_message_and_a_failure_status(self):
        session = XSession()
        self.addCleanup(session.stop)
        session.start()
        keltos = Keltos(session)
        self.addCleanup(keltos.stop)
        log = keltos.log.name
        size = os.path.getsize(log)
        keltos.click("btnStart")
        session.wait_for(lambda: elapsed_seconds(keltos.title()) >= 1, 3, "the bar to count")
        xvfb, session._xvfb = session._xvfb, None  # gone on purpose: not a failure of the session
        xvfb.send_signal(signal.SIGKILL)
        xvfb.wait(5)
        gone = time.monotonic()
        try:
            status = keltos.process.wait(5)
        except subprocess.TimeoutExpired:
            self.fail("keltos still runs 5 s after the X server went away")
        took = time.monotonic() - gone
        with open(log, "rb") as f:
            f.seek(size)
            stderr = f.read().decode(errors="replace")
        self.assertLessEqual(took, 1.0, f"took {took:.2f} s to end")
        self.assertGreater(status, 0, f"ended with {status} (a negative status is a signal)")
        self.assertRegex(stderr, r"(?i)x(11)? (server|connection|display)",
                         "no message naming the X server on stderr")


if __name__ == "__main__":
    unittest.main()
