"""START, STOP, RESET and X on the real bar, clicked or keyed as a user would, read from outside:
the title as other programs read it, the buttons and the focus as a screen reader sees them."""

import math
import time
import unittest

from keltos import IDLE, PAUSED, RUNNING, BarTest

# Five readout ticks a second: a new second shows within a tick (0.2 s) of its time; the rest is
# room for the click's delivery and for a loaded machine.
MOST_LAG = 0.45


def seconds(title):
    """Whole seconds shown by a title "KELTOS - hh:mm:ss"."""
    h, m, s = (int(x) for x in title.rsplit(" - ", 1)[1].split(":"))
    return h * 3600 + m * 60 + s


class Commands(BarTest):
    session_options = dict(accessibility=True)

    def watch_readout(self, before, after, banked, duration):
        """Samples the title for `duration` s after a START clicked between `before` and `after`
        (monotonic times) with `banked` whole seconds already counted: it never runs ahead of
        the clock, and each new second shows within MOST_LAG of its time."""
        k = self.keltos
        delays, last = [], None
        while time.monotonic() - after < duration:
            t0 = time.monotonic()
            shown = seconds(k.title()) - banked
            t1 = time.monotonic()
            self.assertLessEqual(shown, math.floor(t1 - before), "the readout ran ahead")
            self.assertGreaterEqual(shown, math.floor(t0 - after - MOST_LAG),
                                    f"the readout lags: {shown} s at {t0 - after:.2f} s")
            if last is not None and shown != last:
                delays.append(t1 - after - shown)  # at most how late this second came
            last = shown
            time.sleep(0.03)
        print("new seconds shown up to", ", ".join(f"{d:.2f}" for d in delays), "s late")
        self.assertGreaterEqual(len(delays), int(duration) - 1, "the readout did not count")
        return last + banked

    def test_counts_freezes_resumes_and_resets(self):
        k = self.keltos
        before = time.monotonic()
        k.click("btnStart")
        after = time.monotonic()
        counted = self.watch_readout(before, after, 0, 4.3)
        k.click("btnStop")
        self.wait_for_controls("STOP", enabled=PAUSED)
        frozen = k.title()
        self.assertGreaterEqual(seconds(frozen), counted)
        self.session.holds(lambda: k.title() == frozen, 1.2, f"the readout frozen at {frozen}")
        # Resumes from the banked total (with its fraction, so one second may show early).
        before = time.monotonic()
        k.click("btnStart")
        after = time.monotonic()
        self.watch_readout(before - 1, after, seconds(frozen), 2.2)
        k.click("btnReset")
        self.wait_for_controls("RESET", enabled=IDLE)
        self.assertEqual(k.title(), "KELTOS - 00:00:00")
        self.session.holds(lambda: k.title() == "KELTOS - 00:00:00", 1.2, "no tick after RESET")

    def test_keyboard_moves_the_focus_and_presses_the_buttons(self):
        k, s = self.keltos, self.session
        s.wait_for(lambda: s.active_window() == k.window, 5, "the bar to be active")

        def key(name):
            s.run("xdotool", "key", "--window", str(k.window), name)

        k.click("txtTime")
        self.wait_for_controls("a click in the time box", focus="text")
        key("Tab")  # the time box comes first in the Tab order, START next
        self.wait_for_controls("Tab from the time box", enabled=IDLE, focus="START")
        key("space")  # START disables itself: the focus moves on to STOP
        self.wait_for_controls("Space on START", enabled=RUNNING, focus="STOP")
        key("space")  # STOP disables itself and gives the focus to START
        self.wait_for_controls("Space on STOP", enabled=PAUSED, focus="START")
        key("Tab")  # past the disabled STOP
        self.wait_for_controls("Tab from START", enabled=PAUSED, focus="RESET")
        key("space")  # RESET disables itself and gives the focus to START
        self.wait_for_controls("Space on RESET", enabled=IDLE, focus="START")
        self.assertEqual(k.title(), "KELTOS - 00:00:00")
        key("space")
        self.wait_for_controls("Space on START again", enabled=RUNNING, focus="STOP")

    def test_x_ends_the_program_at_once_with_status_0(self):
        k = self.keltos
        k.click("btnStart")
        self.wait_for_controls("START", enabled=RUNNING)
        k.click("btnEnd")
        k.process.wait(1.0)
        self.assertEqual(k.process.returncode, 0)

    def test_closing_by_the_window_manager_ends_it_like_x(self):
        k, s = self.keltos, self.session
        s.wait_for(lambda: s.active_window() == k.window, 5, "the bar to be active")
        # As a taskbar's Close does: the window manager then asks the window to close.
        s.run("wmctrl", "-i", "-c", hex(k.window))
        k.process.wait(3.0)
        self.assertEqual(k.process.returncode, 0)


if __name__ == "__main__":
    unittest.main()
