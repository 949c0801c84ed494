"""The real bar follows the foreground window's title bar, under Xvfb and openbox."""

import os
import time
import unittest

from keltos import BarTest, artifacts

# Timer2 docks once a second: the bar lands within two of its ticks of a change of window.
TWO_TICKS = 2.0


def frame_rect(session, window):
    """Outer rectangle (left, top, right, bottom) of a managed window, title bar included."""
    x, y, w, h = session.geometry(window)
    extents = session.prop(window, "_NET_FRAME_EXTENTS")
    left, right, top, bottom = (int(v) for v in extents.split(",")) if extents else (0, 0, 0, 0)
    return x - left, y - top, x + w + right, y + h + bottom


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
        s.screenshot(os.path.join(artifacts(), "docked.png"))
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
        second.close()


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


if __name__ == "__main__":
    unittest.main()
