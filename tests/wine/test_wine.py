"""KELTOS.exe under Wine, checked from outside by keltos_probe.exe in the same prefix."""

import unittest

from wine_session import WineSession


class WineTest(unittest.TestCase):
    def run_probe(self, command, expect_keltos_status=None, more=()):
        """Runs `keltos_probe command`, then the commands in `more`, beside one KELTOS.exe."""
        with WineSession() as session:
            keltos = session.start_keltos()
            for each in (command, *more):
                status, output = session.probe(each)
                print(output)
                self.assertEqual(status, 0, f"keltos_probe {each} found faults:\n{output}")
            if expect_keltos_status is not None:
                # The wine process carries the Windows program's exit status.
                self.assertEqual(keltos.wait(10), expect_keltos_status)
            else:
                self.assertIsNone(keltos.poll(), "KELTOS.exe ended on its own")


class StartupTest(WineTest):
    def test_startup(self):
        """Title, topmost band, size, styles, foreground, controls, version resource, icon; and
        the Win32 timers against the contract the Qt and the fake timers keep."""
        self.run_probe("startup", more=["timers"])


class CommandsTest(WineTest):
    def test_commands(self):
        """START, STOP, START, RESET through the buttons; X ends the program with status 0."""
        self.run_probe("commands", expect_keltos_status=0)


class DockingTest(WineTest):
    def test_docking(self):
        """The bar follows the foreground window's title bar, except its own kind and itself."""
        self.run_probe("docking")


if __name__ == "__main__":
    unittest.main()
