"""KELTOS.exe under Wine, checked from outside by keltos_probe.exe in the same prefix: as most
users run it, on a Japanese system (code page 932, IPA Gothic as the GUI font) and at 144 DPI."""

import unittest

from wine_session import WineSession, shipped_exe


class WineTest(unittest.TestCase):
    def run_probes(self, commands, locale=None, dpi=96, expect_keltos_status=None):
        """Runs each `keltos_probe COMMAND` (a word, or a tuple of the words of one) in turn
        against one KELTOS.exe in one session."""
        with WineSession(locale, dpi) as session:
            keltos = session.start_keltos()
            for command in commands:
                words = (command,) if isinstance(command, str) else command
                status, output = session.probe(*words)
                print(output)
                self.assertEqual(status, 0, f"keltos_probe {command} found faults:\n{output}")
            if expect_keltos_status is not None:
                # The wine process carries the Windows program's exit status.
                self.assertEqual(keltos.wait(10), expect_keltos_status)
            else:
                self.assertIsNone(keltos.poll(), "KELTOS.exe ended on its own")


class StartupTest(WineTest):
    def test_startup(self):
        """Title, topmost band, size, styles, foreground, controls, captions that fit; a move to a
        monitor of 144 DPI and back; the Win32 timers against the contract the Qt and the fake
        timers keep; and the version resource, icon and manifest of KELTOS.exe as it ships,
        whichever build runs."""
        self.run_probes(["startup", "dpichange", "timers", ("resources", shipped_exe())])


class CommandsTest(WineTest):
    def test_commands(self):
        """START, STOP, START, RESET through the buttons; X ends the program with status 0."""
        self.run_probes(["commands"], expect_keltos_status=0)


class DockingTest(WineTest):
    def test_docking(self):
        """The bar follows the foreground window's title bar, except its own kind and itself."""
        self.run_probes(["docking"])


class JapaneseTest(WineTest):
    def test_japanese(self):
        """On a Japanese system: start-up texts and captions that fit; Japanese titles, titles
        beginning KELTO and titles cut inside a double-byte character."""
        self.run_probes(["startup", "docking"], locale="ja_JP.UTF-8")


class HighDpiTest(WineTest):
    def test_high_dpi(self):
        """At 144 DPI: 459 x 29, captions that fit, docking 95 px from the right and 6 px down."""
        self.run_probes(["startup", "docking"], dpi=144)


if __name__ == "__main__":
    unittest.main()
