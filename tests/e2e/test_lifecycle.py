"""The real bar's run clock, its end and its start, checked from outside: runs keep their real
length while the system time is set back and forward (libfaketime moves only the wall clock);
the program ends when another client destroys its window; Qt's own options change nothing."""

import contextlib
import glob
import os
import signal
import subprocess
import tempfile
import time
import unittest

from keltos import BarTest, Keltos, artifacts, binary
from xsession import XSession


def seconds(title):
    """Whole seconds shown by a title "KELTOS - hh:mm:ss"."""
    h, m, s = (int(x) for x in title.rsplit(" - ", 1)[1].split(":"))
    return h * 3600 + m * 60 + s


def libfaketime():
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))
    if not found:
        raise RuntimeError("libfaketime.so.1 is missing: install it with 'apt-get install "
                           "faketime' (make test does this)")
    return found[0]


class WallClockMoves(unittest.TestCase):
    """The bar under libfaketime: its wall clock is now plus the offset in a file the test
    rewrites, while the monotonic clocks (the run clock, Qt's timers) stay true."""

    def setUp(self):
        folder = tempfile.TemporaryDirectory(prefix="keltos-faketime-")
        self.addCleanup(folder.cleanup)
        self.offset_file = os.path.join(folder.name, "offset")
        self.set_offset(0)
        self.faketime = {"LD_PRELOAD": libfaketime(), "FAKETIME_TIMESTAMP_FILE": self.offset_file,
                         "FAKETIME_NO_CACHE": "1", "FAKETIME_DONT_FAKE_MONOTONIC": "1"}
        self.session = XSession().start()
        self.addCleanup(self.session.stop)
        self.keltos = Keltos(self.session, env=self.faketime)
        self.addCleanup(self.keltos.stop)
        with open(f"/proc/{self.keltos.process.pid}/maps") as maps:
            self.assertIn("libfaketime", maps.read(), "keltos runs without libfaketime")

    def set_offset(self, hours):
        """The wall clock at the real time plus `hours`, from the next time it is read."""
        staged = self.offset_file + ".new"
        with open(staged, "w") as f:
            f.write(f"{hours * 3600:+d}\n")
        os.replace(staged, self.offset_file)
        if hours:  # libfaketime takes the file: a clock read through it moved that far
            done = subprocess.run(["date", "+%s"], env=dict(os.environ, **self.faketime),
                                  capture_output=True, text=True, timeout=10, check=True)
            self.assertAlmostEqual(int(done.stdout) - time.time(), hours * 3600, delta=5)

    def click(self, control):
        """Clicks; returns the real times just before and just after."""
        before = time.monotonic()
        self.keltos.click(control)
        return before, time.monotonic()

    def assert_shows(self, low, high, what):
        """The title shows a total whose real length lay between `low` and `high` seconds
        (bounds taken around the read): cut down to whole seconds, refreshed every 200 ms."""
        read_before = time.monotonic()
        shown = seconds(self.keltos.title())
        low, high = low(read_before), high(time.monotonic())
        self.assertGreaterEqual(shown, int(low) - 1, f"{what}: {shown} s shown, {low:.1f} s real")
        self.assertLessEqual(shown, int(high + 0.5), f"{what}: {shown} s shown, {high:.1f} s real")

    def test_runs_keep_their_real_length_while_the_system_time_is_set_back_and_forward(self):
        start = self.click("btnStart")
        self.session.wait_for(lambda: seconds(self.keltos.title()) >= 2, 5, "the count to 2")
        run = (lambda t: t - start[1], lambda t: t - start[0])
        for hours in (-1, +1):  # back an hour, then forward two
            self.set_offset(hours)
            time.sleep(1.5)
            self.assert_shows(*run, f"clock set to {hours:+d} h during a run")
        stop = self.click("btnStop")
        banked = (stop[0] - start[1], stop[1] - start[0])
        self.set_offset(-2)  # back again while paused
        time.sleep(1.0)
        start = self.click("btnStart")
        time.sleep(1.5)
        self.assert_shows(lambda t: banked[0] + t - start[1], lambda t: banked[1] + t - start[0],
                          "resumed after the clock was set back while paused")


class EndedFromOutside(unittest.TestCase):
    """However it is ended from outside, the bar ends as "X" ends it: at once, with status 0.
    A signal that was ignored when it started (as a shell ignores SIGINT for a background job)
    stays ignored."""

    WAYS = [  # how, and how long it may take
        ("its window destroyed by another client", None, 1.0),
        ("SIGTERM, as at log-out", signal.SIGTERM, 2.0),
        ("SIGINT, as Ctrl+C in its terminal", signal.SIGINT, 2.0),
        ("SIGHUP, as its terminal closing", signal.SIGHUP, 2.0),
    ]

    def setUp(self):
        self.session = XSession().start()
        self.addCleanup(self.session.stop)

    def test_each_way_ends_the_program_with_status_0(self):
        for what, number, seconds in self.WAYS:
            with self.subTest(what):
                k = Keltos(self.session)
                self.addCleanup(k.stop)
                k.click("btnStart")
                time.sleep(0.5)
                if number is None:
                    self.session.run("xdotool", "windowclose", str(k.window))
                else:
                    k.process.send_signal(number)
                k.process.wait(seconds)
                self.assertEqual(k.process.returncode, 0)

    def test_a_signal_ignored_at_start_stays_ignored(self):
        k = Keltos(self.session, ignore=(signal.SIGINT,))
        self.addCleanup(k.stop)
        k.process.send_signal(signal.SIGINT)
        time.sleep(1.0)
        self.assertIsNone(k.process.poll(), "SIGINT, ignored when it started, ended it")
        k.process.send_signal(signal.SIGTERM)
        k.process.wait(2.0)
        self.assertEqual(k.process.returncode, 0)


class QtOptions(unittest.TestCase):
    """Options Qt would take from a command line: none reaches it, so the bar is as ever."""

    OPTIONS = [
        ["-platform", "offscreen"],
        ["-display", ":9999"],
        ["-reverse"],
        ["-style", "windows"],
        ["-geometry", "640x480+0+0"],
        ["-qwindowgeometry", "640x480+0+0"],
        ["-qwindowtitle", "Something else"],
    ]

    @classmethod
    def setUpClass(cls):
        cls.session = XSession().start()

    @classmethod
    def tearDownClass(cls):
        cls.session.stop()

    @contextlib.contextmanager
    def bar(self, args):
        """The bar started with `args`, and its window; ended afterwards, whatever happened."""
        with open(os.path.join(artifacts(), "keltos-stderr.log"), "ab") as log:
            process = subprocess.Popen([binary(), *args], env=self.session.env(), stdout=log,
                                       stderr=log)
            try:
                def find():
                    if process.poll() is not None:
                        raise AssertionError(f"keltos {args} exited with {process.returncode}")
                    out = self.session.run("xdotool", "search", "--onlyvisible", "--name",
                                           "^KELTOS - ", check=False)
                    return [int(x) for x in out.split()]

                windows = self.session.wait_for(find, 10, f"the KELTOS window of keltos {args}")
                self.assertEqual(len(windows), 1)
                yield windows[0]
            finally:
                process.kill()
                process.wait()

    def buttons(self, window):
        """The pixels of the four buttons, which show neither the time nor a text cursor."""
        return self.session.run("import", "-window", str(window), "-crop", "161x19+145+0",
                                "+repage", "-depth", "8", "txt:-")

    def test_options_of_qt_change_nothing(self):
        with self.bar([]) as window:
            time.sleep(0.5)
            plain = self.buttons(window)
            where = self.session.geometry(window)
        self.assertEqual(where[2:], (306, 19))
        for args in self.OPTIONS:
            with self.subTest(args=args), self.bar(args) as window:
                self.assertEqual(self.session.geometry(window), where)
                self.assertEqual(self.session.prop(window, "WM_NAME").strip('"'),
                                 "KELTOS - 00:00:00")
                self.session.wait_for(lambda: self.buttons(window) == plain, 3,
                                      "the buttons to look as without arguments")

if __name__ == "__main__":
    unittest.main()
