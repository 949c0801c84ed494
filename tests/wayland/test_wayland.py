"""The bar docking on native Wayland and XWayland windows, on every desktop that has a provider.

One list of cases; each desktop adds only how it starts and how it is asked (its Desktop in
kwin.py, gnome.py, sway.py). Run one desktop with:  python3 -m unittest test_wayland.KWin
"""

import re
import subprocess
import time
import unittest

import kwin
from session import Session, require, wait_for

RIGHT_INSET = 63  # pixels between the frame's right edge and the bar's (950 twips at 96 DPI)
TOP_INSET = 4     # pixels between the frame's top edge and the bar's (60 twips)
TICK = 1.0        # the docking tick
A, B, C = "Editor A", "Mail B", "Terminal C"  # A and B native, C an X11 window
LOOKALIKE = "KELTOS look-alike"


class DockingCases:
    """Mixed into one TestCase per desktop, which sets `desktop`."""

    desktop = None

    @classmethod
    def setUpClass(cls):
        cls.session = Session(cls.desktop)
        cls.session.start()
        try:
            cls.session.window(A, native=True)
            cls.session.window(B, native=True)
            cls.session.window(C, native=False)
            cls.session.window(LOOKALIKE, native=True)
            for title in (A, B, C, LOOKALIKE):
                wait_for(lambda t=title: cls._has(t), 15, f"the window '{title}'")
            cls.keltos = cls.session.start_keltos()
            cls.bar = cls.session.bar()
        except BaseException:
            cls.session.stop()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.session.stop()

    @classmethod
    def _has(cls, title):
        try:
            return cls.desktop.frame(cls.session, title) is not None
        except AssertionError:
            return False

    def expected(self, title):
        x, y, width, _ = self.desktop.frame(self.session, title)
        return (x + width - RIGHT_INSET - 306, y + TOP_INSET)

    def position(self):
        return self.session.bar_geometry(self.bar)[:2]

    def dock_on(self, title):
        self.desktop.focus(self.session, title)
        try:
            wait_for(lambda: self.position() == self.expected(title), 2 * TICK + 1,
                     f"the bar on '{title}' at {self.expected(title)}")
        except AssertionError as error:
            raise AssertionError(f"{error}; it is at {self.position()}") from None

    def test_follows_each_window_in_turn(self):
        for title in (A, B, C, A):
            with self.subTest(window=title):
                self.dock_on(title)
                self.assertEqual((306, 19), self.session.bar_geometry(self.bar)[2:])
                self.assertTrue(self.desktop.bar_above(self.session, title),
                                f"the bar is not above '{title}'")
        self.assertRegex(self.session.bar_title(self.bar), r"^KELTOS - \d\d:\d\d:\d\d$")

    def test_lookalike_is_not_followed(self):
        self.dock_on(B)
        self.desktop.focus(self.session, LOOKALIKE)
        time.sleep(2 * TICK + 0.5)
        self.assertEqual(self.expected(B), self.position())

    def test_minimized_window_is_not_followed(self):
        self.dock_on(A)
        self.desktop.minimize(self.session, A)
        time.sleep(2 * TICK + 0.5)
        # Wherever the focus went, the bar is never placed by the minimized window's frame.
        self.assertIsNone(self.keltos.poll(), "keltos ended")
        x, y = self.position()
        self.assertTrue(0 <= x < 1600 and 0 <= y < 900, f"the bar went off the screen: {x},{y}")
        self.desktop.focus(self.session, A)  # restores it for the other cases


class KWin(DockingCases, unittest.TestCase):
    desktop = kwin.KWin()

    def test_only_kwin_reports_and_with_five_characters_of_a_title(self):
        session = self.session
        monitor = session.spawn([require("dbus-monitor", "dbus-bin"), "--session",
                                 "interface='org.keltos.Focus'"], "monitor",
                                stdout=subprocess.PIPE)
        monitor.stdout.readline()  # watching from here on
        for title in (B, A, C, B):  # each of them newly focused at least once
            self.dock_on(title)
        session.end(monitor)
        watched = monitor.stdout.read().decode(errors="replace")
        monitor.stdout.close()
        seen = re.findall(r'member=Report\n\s*string "[^"\n]*\n(.*?)"\n', watched, re.S)
        self.assertLessEqual({A[:5], B[:5], C[:5]}, set(seen))
        self.assertEqual([], [title for title in seen if len(title) > 5])
        # Another program on the bus cannot move the bar.
        keltos = re.search(r"destination=(\S+) serial=\d+ path=/org/keltos/Focus", watched)[1]
        session.run(require("dbus-send", "dbus-bin"), "--session", "--print-reply",
                    f"--dest={keltos}", "/org/keltos/Focus", "org.keltos.Focus.Report",
                    "string:999999 0 5 5 400 300 {forged}\nForge")
        time.sleep(2 * TICK + 0.5)
        self.assertEqual(self.expected(B), self.position())

    def test_script_is_never_left_behind_nor_doubled(self):
        kwin, session = self.desktop, self.session
        wait_for(lambda: kwin.scripts(session) == 1, 5, "KELTOS's script loaded once")
        # Killed, it cannot unload its script; the next run replaces it and docks, this time
        # knowing KWin only as what answers on the session bus.
        self.keltos.kill()
        self.keltos.wait(5)
        wait_for(lambda: not session.bars(), 5, "the killed bar to vanish")
        self.__class__.keltos = session.start_keltos(env={"XDG_CURRENT_DESKTOP": ""})
        self.__class__.bar = session.bar()
        self.dock_on(B)
        wait_for(lambda: kwin.scripts(session) == 1, 5, "KELTOS's script loaded once again")
        # Ended as a window is closed, it takes its script with it.
        kwin.close(session, session.bar_title(self.bar))
        self.assertEqual(0, self.keltos.wait(5))
        wait_for(lambda: kwin.scripts(session) == 0, 5, "KELTOS to take its script out of KWin")
        self.__class__.keltos = session.start_keltos()
        self.__class__.bar = session.bar()
