"""Reads a running program's controls through the AT-SPI accessibility bus, as a screen reader
does, and prints them as JSON: one entry per control with its role, name, text and whether it is
enabled. With --press NAME it first presses the push button of that name through its action.

Runs under Debian's /usr/bin/python3 (python3-pyatspi), inside the session's D-Bus."""

import argparse
import json
import sys

import pyatspi

# Roles by their constants: AT-SPI's names for them change between versions (a push button is
# "push button" in older versions and "button" in newer ones).
ROLES = {pyatspi.ROLE_PUSH_BUTTON: "push button", pyatspi.ROLE_TEXT: "text",
         pyatspi.ROLE_ENTRY: "text", pyatspi.ROLE_LABEL: "label", pyatspi.ROLE_FRAME: "frame"}


def role(node):
    return ROLES.get(node.getRole(), node.getRoleName())


def controls(app):
    found = []

    def walk(node):
        if node is None:
            return
        states = node.getState()
        entry = {"role": role(node), "name": node.name,
                 "enabled": states.contains(pyatspi.STATE_ENABLED),
                 "focused": states.contains(pyatspi.STATE_FOCUSED)}
        try:
            text = node.queryText()
            entry["text"] = text.getText(0, -1)
        except NotImplementedError:
            pass
        found.append(entry)
        for child in node:
            walk(child)

    walk(app)
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("app")
    parser.add_argument("--press")
    args = parser.parse_args()
    desktop = pyatspi.Registry.getDesktop(0)
    apps = [a for a in desktop if a is not None and a.name == args.app]
    if not apps:
        print(json.dumps(None))
        return 0
    app = apps[0]
    if args.press:
        button = pyatspi.findDescendant(
            app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == args.press)
        if button is None:
            print(f"no button {args.press!r}", file=sys.stderr)
            return 2
        action = button.queryAction()
        for i in range(action.nActions):
            if action.getName(i) in ("press", "click", "Press"):
                action.doAction(i)
                break
        else:
            action.doAction(0)
    print(json.dumps(controls(app)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
