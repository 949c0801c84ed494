"""START, STOP, RESET and X on the real bar, clicked as a user would, read from outside."""

import time
import unittest

from keltos import BarTest


def seconds(title):
    """Whole seconds shown by a title "KELTOS - hh:mm:ss"."""
    h, m, s = (int(x) for x in title.rsplit(" - ", 1)[1].split(":"))
    return h * 3600 + m * 60 + s


class Commands(BarTest):

    def test_counts_freezes_resumes_and_resets(self):
        k = self.keltos
        k.click("btnStart")
        self.session.wait_for(lambda: seconds(k.title()) >= 2, 4, "the title to count to 2")
        k.click("btnStop")
        time.sleep(0.4)  # the last tick before STOP may still land
        frozen = k.title()
        time.sleep(1.5)
        self.assertEqual(k.title(), frozen, "STOP freezes the readout")
        k.click("btnStart")
        # Resumes from the banked total, not from zero.
        self.session.wait_for(lambda: seconds(k.title()) > seconds(frozen), 3, "the count to go on")
        self.assertLessEqual(seconds(k.title()), seconds(frozen) + 2)
        k.click("btnReset")
        self.session.wait_for(lambda: k.title() == "KELTOS - 00:00:00", 2, "RESET to clear")
        time.sleep(1.2)
        self.assertEqual(k.title(), "KELTOS - 00:00:00", "no tick after RESET")
        k.click("btnStop")  # disabled again: nothing happens
        time.sleep(0.5)
        self.assertEqual(k.title(), "KELTOS - 00:00:00")

    def test_readout_never_runs_ahead_and_lags_at_most_a_second(self):
        k = self.keltos
        before = time.monotonic()
        k.click("btnStart")
        after = time.monotonic()
        worst_lag = 0.0
        while time.monotonic() - after < 10.5:
            shown = seconds(k.title())
            now = time.monotonic()
            # START ran between `before` and now; the truth lies between these two bounds.
            self.assertLessEqual(shown, int(now - before), "the readout ran ahead of the clock")
            truth_low = int(now - after)
            worst_lag = max(worst_lag, truth_low - shown)
            self.assertLessEqual(truth_low - shown, 1, f"lagging: shows {shown} s at {now - after:.2f} s")
            time.sleep(0.1)
        print(f"worst lag in whole seconds: {worst_lag}")

    def test_x_ends_the_program_at_once_with_status_0(self):
        k = self.keltos
        k.click("btnStart")
        time.sleep(0.5)
        k.click("btnEnd")
        k.process.wait(1.0)
        self.assertEqual(k.process.returncode, 0)

    def test_keyboard_tab_order_and_focus_back_on_start(self):
        k, s = self.keltos, self.session
        s.wait_for(lambda: s.active_window() == k.window, 5, "the bar to be active")
        # The time box comes first in the Tab order, START next.
        k.click("txtTime")
        s.run("xdotool", "key", "--window", str(k.window), "Tab", "space")
        s.wait_for(lambda: k.title() == "KELTOS - 00:00:01", 3, "START pressed from the keyboard")
        # START is now disabled and STOP follows it in the Tab order.
        s.run("xdotool", "key", "--window", str(k.window), "Tab", "space")
        time.sleep(0.4)
        frozen = k.title()
        time.sleep(1.2)
        self.assertEqual(k.title(), frozen, "STOP pressed from the keyboard")
        # STOP put the focus on START: Space resumes without a Tab.
        s.run("xdotool", "key", "--window", str(k.window), "space")
        s.wait_for(lambda: k.title() != frozen, 3, "START pressed again where the focus went")

    def test_closing_by_the_window_manager_ends_it_like_x(self):
        k, s = self.keltos, self.session
        s.wait_for(lambda: s.active_window() == k.window, 5, "the bar to be active")
        # As a taskbar's Close does: the window manager then asks the window to close.
        s.run("wmctrl", "-i", "-c", hex(k.window))
        k.process.wait(3.0)
        self.assertEqual(k.process.returncode, 0)


if __name__ == "__main__":
    unittest.main()
