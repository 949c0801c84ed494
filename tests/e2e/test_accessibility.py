"""The bar as a screen reader sees it: every control by name with its state, pressed through the
accessibility bus instead of the pointer."""

import unittest

from keltos import RUNNING, BarTest


class ScreenReader(BarTest):
    session_options = dict(accessibility=True)

    def read(self, press=None):
        tree = self.session.wait_for(lambda: self.session.accessible("keltos", press=press), 10,
                                     "keltos on the accessibility bus")
        return tree

    def by_name(self, tree):
        return {c["name"]: c for c in tree if c["role"] == "push button"}

    def time_box(self, tree):
        boxes = [c for c in tree if c["role"] == "text"]
        self.assertEqual(len(boxes), 1)
        return boxes[0]["text"]

    def test_reads_every_control_and_presses_start(self):
        tree = self.read()
        windows = [c for c in tree if c["name"].startswith("KELTOS - ")]
        self.assertEqual([w["name"] for w in windows], ["KELTOS - 00:00:00"])
        buttons = self.by_name(tree)
        self.assertEqual(sorted(buttons), ["RESET", "START", "STOP", "X"])
        self.assertEqual({n: b["enabled"] for n, b in buttons.items()},
                         {"START": True, "STOP": False, "RESET": False, "X": True})
        self.assertEqual(self.time_box(tree), "00:00:00")
        self.assertEqual(len([c for c in tree if c["role"] == "label"]), 1)

        self.read(press="START")
        self.wait_for_controls("START pressed through the accessibility bus", enabled=RUNNING)
        self.session.wait_for(lambda: self.time_box(self.read()) == "00:00:02", 4,
                              "the time box to count to 00:00:02")
        # The window's title carries the same text (read twice a tick apart at most).
        self.session.wait_for(
            lambda: self.keltos.title() == "KELTOS - " + self.time_box(self.read()), 3,
            "the title to match the time box")

        self.read(press="RESET")
        self.session.wait_for(lambda: self.time_box(self.read()) == "00:00:00", 3,
                              "RESET pressed through the accessibility bus")


if __name__ == "__main__":
    unittest.main()
