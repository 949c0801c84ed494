"""The real bar after start-up, under Xvfb and openbox, checked from outside."""

import datetime
import os
import subprocess
import tempfile
import time
import unittest
import zoneinfo

from keltos import IDLE, RUNNING, BarTest, Keltos, artifacts, binary
from xsession import XSession, mount_namespace, require

ZONES = "/usr/share/zoneinfo"


class StartUp(BarTest):
    session_options = dict(accessibility=True)

    @classmethod
    def setUpClass(cls):
        # One session and bar for the class, ended whatever fails, also in the set-up.
        session = XSession(**cls.session_options)
        cls.addClassCleanup(session.stop)
        session.start()
        keltos = Keltos(session)
        cls.addClassCleanup(keltos.stop)
        cls.shared = (session, keltos)

    def setUp(self):
        self.session, self.keltos = self.shared

    def test_bar_title_size_band_and_frame(self):
        s, k = self.session, self.keltos
        self.assertEqual(k.title(), "KELTOS - 00:00:00")
        _, _, width, height = k.geometry()
        self.assertEqual((width, height), (306, 19))
        self.assertIn("_NET_WM_STATE_ABOVE", s.prop(k.window, "_NET_WM_STATE"))
        s.wait_for(lambda: s.active_window() == k.window, 5, "KELTOS to be the active window")
        # No title bar or border from the window manager, as it says once it has framed the bar.
        s.wait_for(lambda: s.prop(k.window, "_NET_FRAME_EXTENTS").replace(" ", "") == "0,0,0,0",
                   5, "_NET_FRAME_EXTENTS to read 0, 0, 0, 0")
        s.screenshot(os.path.join(artifacts(), "startup.png"))

    def test_screen_reader_sees_the_start_up_state_and_disabled_buttons_do_nothing(self):
        s, k = self.session, self.keltos
        before = s.local_now()
        controls = self.controls()
        after = s.local_now()
        self.assertEqual({name: controls[name]["enabled"] for name in IDLE}, IDLE)
        self.assertEqual(controls["text"]["text"], "00:00:00")
        # The label: the local date and time, " mm/dd hh:mm", on a 24-hour clock (it is afternoon
        # in the session), refreshed once a second, so it may still show the minute just gone.
        self.assertGreaterEqual(before.hour, 13, "the session's local time is not afternoon")
        labels = [c for c in controls.values() if c["role"] == "label"]
        self.assertEqual(len(labels), 1)
        earliest = before - datetime.timedelta(seconds=1.5)
        expected = {t.strftime(" %m/%d %H:%M") for t in (earliest, before, after)}
        self.assertIn(labels[0]["name"], expected)

        # A STOP that took the click would bank the time since midnight (over 13 hours), which
        # the next START would show. RESET goes first: once STOP had enabled it, it would clear
        # the total again.
        k.click("btnReset")
        k.click("btnStop")
        k.click("btnStart")
        self.wait_for_controls("START after clicks on STOP and RESET", enabled=RUNNING)
        s.wait_for(lambda: k.title() != "KELTOS - 00:00:00", 3, "the count to start")
        self.assertEqual(k.title(), "KELTOS - 00:00:01", "START counts from a banked total")
        k.click("btnReset")
        self.wait_for_controls("RESET", enabled=IDLE)


class AcrossATimeZoneChange(BarTest):
    """The bar with an /etc of its own (overlaid in a mount namespace), its zone from
    /etc/localtime: the label follows the link changed while the docking tick rests."""

    session_options = dict(accessibility=True)

    def setUp(self):
        self.session = XSession(**self.session_options)
        self.addCleanup(self.session.stop)
        self.session.start()
        folder = tempfile.TemporaryDirectory(prefix="keltos-etc-")
        self.addCleanup(folder.cleanup)
        upper, work = (os.path.join(folder.name, d) for d in ("upper", "work"))
        os.makedirs(upper)
        os.makedirs(work)
        os.symlink(f"{ZONES}/Etc/UTC", os.path.join(upper, "localtime"))
        overlay = f"mount -t overlay overlay -o lowerdir=/etc,upperdir={upper},workdir={work} /etc"
        wrap = mount_namespace() + ["/bin/sh", "-c", overlay + ' && exec "$0"']
        self.keltos = Keltos(self.session, env={"TZ": None}, wrap=wrap)
        self.addCleanup(self.keltos.stop)

    def label(self):
        return next(c["name"] for c in self.controls().values() if c["role"] == "label")

    def test_the_label_follows_within_a_second(self):
        s = self.session
        # Past the first ticks, after which the docking tick rests while nothing changes.
        time.sleep(3)
        for zone in ("Asia/Kolkata", "America/St_Johns"):
            # Clear of the minute's last seconds, when the label is written anyway.
            s.wait_for(lambda: datetime.datetime.now().second < 50, 15, "the minute's start")
            # Relinked as KELTOS sees /etc: in its mount namespace and from its root folder
            # (entering the namespace alone leaves a chroot, such as make test's roots, and
            # would relink the system's own /etc/localtime).
            subprocess.run([require("nsenter", "util-linux"), "--target",
                            str(self.keltos.process.pid), "--mount", "--root", "ln", "-sfn",
                            f"{ZONES}/{zone}", "/etc/localtime"], check=True)
            local = zoneinfo.ZoneInfo(zone)
            s.wait_for(lambda: self.label() == datetime.datetime.now(local).strftime(
                " %m/%d %H:%M"), 1.5, f"the label in {zone}")


class WithoutDisplay(unittest.TestCase):
    def test_ends_with_a_clear_message_instead_of_aborting(self):
        env = dict(os.environ, DISPLAY=":9999")
        env.pop("WAYLAND_DISPLAY", None)
        done = subprocess.run([binary()], env=env, capture_output=True, text=True, timeout=10)
        self.assertEqual(done.returncode, 1)  # not a signal: no abort, no core dump
        self.assertIn('cannot open the X display ":9999"', done.stderr)


if __name__ == "__main__":
    unittest.main()
