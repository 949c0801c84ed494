"""The real bar after start-up, under Xvfb and openbox, checked from outside."""

import datetime
import os
import subprocess
import time
import unittest

from keltos import Keltos, artifacts, binary
from xsession import XSession


class StartUp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = XSession(accessibility=True).start()
        cls.keltos = Keltos(cls.session)

    @classmethod
    def tearDownClass(cls):
        cls.keltos.stop()
        cls.session.stop()

    def test_title_is_readable_by_other_programs(self):
        self.assertEqual(self.keltos.title(), "KELTOS - 00:00:00")

    def test_bar_is_306_by_19_undecorated_topmost_and_active(self):
        s, k = self.session, self.keltos
        _, _, width, height = k.geometry()
        self.assertEqual((width, height), (306, 19))
        self.assertIn("_NET_WM_STATE_ABOVE", s.prop(k.window, "_NET_WM_STATE"))
        s.wait_for(lambda: s.active_window() == k.window, 5, "KELTOS to be the active window")
        # No title bar or border from the window manager.
        extents = s.prop(k.window, "_NET_FRAME_EXTENTS")
        self.assertIn(extents.replace(" ", ""), ("", "0,0,0,0"))
        s.screenshot(os.path.join(artifacts(), "startup.png"))

    def controls(self):
        tree = self.session.wait_for(lambda: self.session.accessible("keltos"), 10,
                                     "keltos on the accessibility bus")
        return {c["name"] or c["role"]: c for c in tree}

    def test_screen_reader_sees_the_start_up_state_and_the_current_time(self):
        before = datetime.datetime.now()
        controls = self.controls()
        after = datetime.datetime.now()
        self.assertTrue(controls["START"]["enabled"])
        self.assertFalse(controls["STOP"]["enabled"])
        self.assertFalse(controls["RESET"]["enabled"])
        self.assertEqual(controls["text"]["text"], "00:00:00")
        # The label's text: the current local date and time, " mm/dd hh:mm".
        labels = [c for c in controls.values() if c["role"] == "label"]
        self.assertEqual(len(labels), 1)
        # The label is refreshed once a second, so it may still show the minute just gone.
        earliest = before - datetime.timedelta(seconds=1.5)
        expected = {t.strftime(" %m/%d %H:%M") for t in (earliest, before, after)}
        self.assertIn(labels[0]["name"], expected)

    def test_only_start_is_enabled(self):
        k = self.keltos
        for control in ("btnStop", "btnReset"):
            k.click(control)
            time.sleep(1.3)
            self.assertEqual(k.title(), "KELTOS - 00:00:00", f"{control} did something")


class WithoutDisplay(unittest.TestCase):
    def test_ends_with_a_clear_message_instead_of_aborting(self):
        env = dict(os.environ, DISPLAY=":9999")
        env.pop("WAYLAND_DISPLAY", None)
        done = subprocess.run([binary()], env=env, capture_output=True, text=True, timeout=10)
        self.assertEqual(done.returncode, 1)  # not a signal: no abort, no core dump
        self.assertIn('cannot open the X display ":9999"', done.stderr)


if __name__ == "__main__":
    unittest.main()
