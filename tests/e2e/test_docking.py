"""The real bar follows the foreground window's title bar, under Xvfb and openbox (and xfwm4's
compositor for a window that draws its own title bar)."""

import os
import subprocess
import time
import unittest

from keltos import BarTest, artifacts
from xsession import DEBIAN_PYTHON, require

# A GTK 3 window with a header bar: it draws its own title bar, inside invisible shadow margins
# it announces in _GTK_FRAME_EXTENTS.
HEADER_BAR_WINDOW = """
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk
window = Gtk.Window()
window.set_titlebar(Gtk.HeaderBar(title=sys.argv[1], show_close_button=True))
window.set_default_size(500, 300)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
"""


def margins(session, window, name):
    """left, right, top, bottom of a window's frame extents property, or zeros."""
    value = session.prop(window, name)
    return tuple(int(v) for v in value.split(",")) if value else (0, 0, 0, 0)

# Timer2 docks once a second: the bar lands within two of its ticks of a change of window.
TWO_TICKS = 2.0


def frame_rect(session, window):
    """Visible outer rectangle (left, top, right, bottom) of a managed window: the window
    manager's title bar included, a client-drawn window's invisible shadow left out."""
    x, y, w, h = session.geometry(window)
    left, right, top, bottom = margins(session, window, "_NET_FRAME_EXTENTS")
    shadow_left, shadow_right, shadow_top, shadow_bottom = margins(session, window,
                                                                   "_GTK_FRAME_EXTENTS")
    return (x - left + shadow_left, y - top + shadow_top, x + w + right - shadow_right,
            y + h + bottom - shadow_bottom)


def docked_place(rect, twips_per_pixel=15):
    """Where the bar rests on a window: right edge 950 twips (63 px at 96 DPI) short of the
    window's right edge, top 60 twips (4 px) below the window's top."""
    _, top, right, _ = rect
    left_twips = twips_per_pixel * right - 950 - 4590
    return round(left_twips / twips_per_pixel), round(top + 60 / twips_per_pixel)


class Docking(BarTest):

    def bar_at(self, place):
        x, y, _, _ = self.keltos.geometry()
        return (x, y) == place

    def assert_docks_on(self, window):
        rect = frame_rect(self.session, window.id)
        place = docked_place(rect)
        started = time.monotonic()
        self.session.wait_for(lambda: self.bar_at(place), TWO_TICKS,
                              f"the bar to dock at {place} on {window.title!r} {rect}")
        return time.monotonic() - started

    def test_follows_the_active_window_and_not_a_second_keltos(self):
        s = self.session
        editor = s.open_window("Editor - notes.txt", 100, 200, 700, 400)
        mail = s.open_window("Mail", 300, 450, 900, 500)
        for window in (editor, mail, editor):
            window.activate()
            self.assert_docks_on(window)
        # The window in front moved, resized or retitled as another KELTOS while it stays in
        # front: the bar follows the first two and stays where it is for the third.
        s.run("xdotool", "windowmove", "--sync", str(editor.id), "260", "320")
        self.assert_docks_on(editor)
        s.run("xdotool", "windowsize", "--sync", str(editor.id), "560", "300")
        self.assert_docks_on(editor)
        # The bar itself moved away by another program, while nothing else changes: it goes back.
        s.run("xdotool", "windowmove", "--sync", str(self.keltos.window), "20", "20")
        self.assert_docks_on(editor)
        s.screenshot(os.path.join(artifacts(), "docked.png"))
        resting = self.keltos.geometry()
        s.run("xdotool", "set_window", "--name", "KELTOS - 00:00:09", str(editor.id))
        s.run("xdotool", "windowmove", "--sync", str(editor.id), "40", "120")
        s.holds(lambda: self.keltos.geometry() == resting, TWO_TICKS + 0.2,
                "the bar resting where it was, on a window retitled like itself")
        s.run("xdotool", "set_window", "--name", "Editor - notes.txt", str(editor.id))
        self.assert_docks_on(editor)
        resting = self.keltos.geometry()
        twin = s.open_window("KELTOS - 00:00:07", 50, 600, 400, 150)
        twin.activate()
        s.holds(lambda: self.keltos.geometry() == resting, TWO_TICKS + 0.2,
                "the bar resting where it was, not on a window titled like itself")
        for window in (editor, mail, twin):
            window.close()

    def test_keeps_going_when_the_window_it_sits_on_closes(self):
        s = self.session
        first = s.open_window("First", 80, 100, 600, 300)
        second = s.open_window("Second", 400, 500, 600, 300)
        first.activate()
        self.assert_docks_on(first)
        first.close()
        second.activate()
        self.assert_docks_on(second)
        self.keltos.click("btnStart")
        s.wait_for(lambda: self.keltos.title() != "KELTOS - 00:00:00", 3, "the bar to count")
        # Another workspace, and a window there: the bar shows on it too and docks.
        s.run("wmctrl", "-s", "1")
        self.addCleanup(s.run, "wmctrl", "-s", "0")
        third = s.open_window("Third", 200, 300, 600, 300)
        third.activate()
        self.assert_docks_on(third)
        self.assertIn("IsViewable", s.run("xwininfo", "-id", str(self.keltos.window)))
        for window in (second, third):
            window.close()


class WithASwaySocketLeftOver(Docking):
    # An X11 session whose environment still names the IPC socket of a sway session that ran
    # before (a systemd user session exports it to later ones): the bar docks as in any other.
    keltos_env = dict(XDG_SESSION_TYPE="x11", SWAYSOCK="/run/user/0/sway-ipc.0.1234.sock")


class UnderACompositingWindowManager(BarTest):
    session_options = dict(wm="xfwm4")

    def test_docks_on_the_visible_title_bar_of_a_header_bar_window(self):
        session = self.session
        window = subprocess.Popen([require(DEBIAN_PYTHON), "-c", HEADER_BAR_WINDOW, "Files"],
                                  env=session.env(), stdout=subprocess.DEVNULL,
                                  stderr=subprocess.PIPE, text=True)
        self.addCleanup(window.stderr.close)
        self.addCleanup(window.wait, 5)
        self.addCleanup(window.terminate)

        def find():
            if window.poll() is not None:
                raise AssertionError("the GTK 3 window failed (apt-get install python3-gi "
                                     f"gir1.2-gtk-3.0): {window.stderr.read()}")
            ids = session.run("xdotool", "search", "--onlyvisible", "--name", "^Files$",
                              check=False).split()
            return ids and session.prop(ids[0], "WM_STATE") and int(ids[0])

        files = session.wait_for(find, 10, "the header-bar window")
        self.assertNotEqual((0, 0, 0, 0), margins(session, files, "_GTK_FRAME_EXTENTS"))
        session.run("xdotool", "windowactivate", "--sync", str(files))
        place = docked_place(frame_rect(session, files))
        try:
            session.wait_for(lambda: self.keltos.geometry()[:2] == place, 1.2,
                             f"the bar to dock at {place}")
        except AssertionError as error:
            raise AssertionError(f"{error}; it is at {self.keltos.geometry()[:2]}") from None


class AtAnotherResolution(BarTest):
    session_options = dict(dpi=144)

    def test_bar_scales_and_still_lands_on_the_title_bar_at_144_dpi(self):
        session, keltos = self.session, self.keltos
        _, _, width, height = keltos.geometry()
        self.assertEqual((width, height), (459, 29))  # 4590 x 285 twips at 10 twips a pixel
        editor = session.open_window("Editor", 100, 200, 700, 400)
        editor.activate()
        place = docked_place(frame_rect(session, editor.id), twips_per_pixel=10)
        session.wait_for(lambda: keltos.geometry()[:2] == place, TWO_TICKS,
                         f"the bar to dock at {place}")


class WithoutWindowManager(BarTest):
    session_options = dict(wm="none")

    def test_stays_put_and_keeps_counting(self):
        session, keltos = self.session, self.keltos
        place = keltos.geometry()
        keltos.click("btnStart")
        session.wait_for(lambda: keltos.title() == "KELTOS - 00:00:02", 4, "the count to 2")
        self.assertEqual(keltos.geometry(), place)
        self.assertIsNone(keltos.process.poll())


class InAPlasmaSessionWithoutKWin(BarTest):
    # What KELTOS is told about the session says KDE Plasma on Wayland, but KWin does not answer.
    keltos_env = dict(XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="KDE",
                      WAYLAND_DISPLAY="wayland-keltos-none",
                      DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/keltos-bus")

    def setUp(self):
        log = os.path.join(artifacts(), "keltos-stderr.log")
        self.log_start = os.path.getsize(log) if os.path.exists(log) else 0
        super().setUp()

    def test_says_so_once_stays_put_and_keeps_counting(self):
        session, keltos = self.session, self.keltos
        keltos.click("btnStart")
        place = keltos.geometry()
        editor = session.open_window("Editor", 100, 200, 700, 400)
        self.addCleanup(editor.close)
        editor.activate()
        session.wait_for(lambda: keltos.title() == "KELTOS - 00:00:03", 5, "the count to 3")
        self.assertEqual(keltos.geometry(), place)
        with open(keltos.log.name, errors="replace") as log:
            log.seek(self.log_start)
            said = [line for line in log if "KDE Plasma" in line]
        self.assertEqual(1, len(said), said)


if __name__ == "__main__":
    unittest.main()
