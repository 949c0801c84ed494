"""The real bar after start-up, under Xvfb and openbox, checked from outside."""

import os
import time
import unittest

from keltos import Keltos, artifacts
from xsession import XSession


class StartUp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = XSession().start()
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

    def test_only_start_is_enabled(self):
        k = self.keltos
        for control in ("btnStop", "btnReset"):
            k.click(control)
            time.sleep(1.3)
            self.assertEqual(k.title(), "KELTOS - 00:00:00", f"{control} did something")


if __name__ == "__main__":
    unittest.main()
