"""A private X session for end-to-end tests: its own Xvfb on a free display and, unless told
otherwise, a real EWMH window manager (openbox; or xfwm4 with its compositor, on a session bus of
its own). Tools that are missing fail the test with the
Debian package to install; nothing is skipped.

As a command:  xsession.py [--wm openbox|xfwm4|none] -- PROGRAM ARGS...
runs PROGRAM inside the session and exits with its status.
"""

import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TOOLS = {
    "Xvfb": "xvfb",
    "openbox": "openbox",
    "xfwm4": "xfwm4",
    "xprop": "x11-utils",
    "xwininfo": "x11-utils",
    "xdotool": "xdotool",
    "xlogo": "x11-apps",
    "import": "imagemagick",
    "xrdb": "x11-xserver-utils",
    "wmctrl": "wmctrl",
    "dbus-daemon": "dbus",
    "/usr/libexec/at-spi-bus-launcher": "at-spi2-core",
}
DEBIAN_PYTHON = "/usr/bin/python3"  # the one that sees python3-pyatspi


def require(tool):
    """Path of a tool, or an error naming the package that brings it."""
    path = shutil.which(tool) if "/" not in tool else (tool if os.access(tool, os.X_OK) else None)
    if not path:
        raise RuntimeError(
            f"'{tool}' is missing: install it with 'apt-get install {TOOLS.get(tool, tool)}' "
            "(make test does this)")
    return path


class XSession:
    def __init__(self, wm="openbox", size="1280x1024x24", dpi=96, accessibility=False):
        self.wm = wm
        self.accessibility = accessibility
        self._bus = None
        self._bus_env = {}
        self.size = size
        self.dpi = dpi
        self.display = None
        self._xvfb = None
        self._wm = None
        self._home = None

    def env(self, **extra):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env["HOME"] = self._home.name
        env.pop("WAYLAND_DISPLAY", None)
        env.update(self._bus_env)
        env.update(extra)
        return env

    def start(self):
        try:
            return self._start()
        except BaseException:
            self.stop()
            raise

    def _start(self):
        xvfb = require("Xvfb")
        self._home = tempfile.TemporaryDirectory(prefix="keltos-x-")
        read_fd, write_fd = os.pipe()
        self._xvfb = subprocess.Popen(
            [xvfb, "-displayfd", str(write_fd), "-screen", "0", self.size, "-dpi",
             str(self.dpi), "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb ended before it chose a display")
                number += chunk
        self.display = ":" + number.decode().strip()
        if self.dpi != 96:
            # Toolkits take the display's resolution from the Xft.dpi resource.
            subprocess.run([require("xrdb"), "-merge"], input=f"Xft.dpi: {self.dpi}\n", text=True,
                           env=self.env(), check=True, timeout=20)
        if self.wm != "none":
            self.start_wm()
        if self.accessibility:
            self.start_accessibility_bus()
        return self

    def start_bus(self):
        """A D-Bus session of its own, once."""
        if self._bus:
            return
        daemon = subprocess.Popen(
            [require("dbus-daemon"), "--session", "--nofork", "--print-address=1"],
            env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self._bus = [daemon]
        address = daemon.stdout.readline().strip()
        if not address:
            raise RuntimeError("dbus-daemon printed no address")
        self._bus_env["DBUS_SESSION_BUS_ADDRESS"] = address

    def start_accessibility_bus(self):
        """The AT-SPI bus on the session's bus, and Qt told to expose its widgets."""
        self.start_bus()
        self._bus_env.update({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "NO_AT_BRIDGE": "0"})
        launcher = require("/usr/libexec/at-spi-bus-launcher")
        self._bus.append(subprocess.Popen([launcher, "--launch-immediately"], env=self.env(),
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        require(DEBIAN_PYTHON)
        self.wait_for(lambda: subprocess.run(
            [DEBIAN_PYTHON, "-c", "import pyatspi; pyatspi.Registry.getDesktop(0)"],
            env=self.env(), capture_output=True, timeout=20).returncode == 0, 10,
            "the AT-SPI bus (apt-get install at-spi2-core python3-pyatspi)")

    def accessible(self, app, press=None):
        """The controls of `app` as a screen reader sees them (None if it is not there)."""
        here = os.path.dirname(os.path.abspath(__file__))
        args = [DEBIAN_PYTHON, os.path.join(here, "a11y_read.py"), app]
        if press:
            args += ["--press", press]
        done = subprocess.run(args, env=self.env(), capture_output=True, text=True, timeout=30)
        if done.returncode != 0:
            raise RuntimeError(f"reading the accessibility tree failed: {done.stderr.strip()}")
        return json.loads(done.stdout)

    def start_wm(self):
        if self.wm == "xfwm4":
            self.start_bus()  # xfwm4 reads its settings over D-Bus
            command = [require("xfwm4"), "--compositor=on", "--sm-client-disable"]
        else:
            command = [require("openbox"), "--sm-disable"]
        self._wm = subprocess.Popen(command, env=self.env(), stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        self.wait_for(lambda: self.root_property("_NET_SUPPORTING_WM_CHECK"), 10,
                      f"{self.wm} to take over the screen")
        # The check property comes before the window manager handles new windows, and a window
        # mapped while it is still starting up can go unmanaged: it is ready once it has framed a
        # probe window.
        deadline = time.time() + 15
        for attempt in range(100):
            try:
                probe = ForeignWindow(self, f"keltos-wm-probe-{attempt}", 10, 10, 50, 50,
                                      timeout=1.0)
            except AssertionError:
                if time.time() > deadline:
                    raise RuntimeError(f"{self.wm} did not manage a window within 15 s")
                continue
            probe.close()
            return

    def open_window(self, title, x, y, width, height):
        """An ordinary window of another program (xlogo), managed by the window manager."""
        return ForeignWindow(self, title, x, y, width, height)

    def stop_wm(self):
        if self._wm:
            self._wm.terminate()
            self._wm.wait(5)
            self._wm = None

    def stop(self):
        for process in reversed(self._bus or []):
            process.terminate()
            process.wait(5)
        self._bus = None
        self.stop_wm()
        if self._xvfb:
            self._xvfb.send_signal(signal.SIGTERM)
            try:
                self._xvfb.wait(5)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
            self._xvfb = None
        if self._home:
            self._home.cleanup()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # Reading the session from outside, as any X client would.
    def run(self, *args, check=True):
        tool = require(args[0])
        done = subprocess.run([tool, *args[1:]], env=self.env(), capture_output=True,
                              text=True, errors="replace", timeout=20)
        if check and done.returncode != 0:
            raise RuntimeError(f"{' '.join(args)} failed: {done.stderr.strip()}")
        return done.stdout

    @staticmethod
    def _value(out, name):
        """The value xprop printed for `name` ("NAME = value" or "NAME: value"), or ""."""
        match = re.match(r"^" + re.escape(name) + r"(?:\([^)]*\))?\s*[=:]\s*(.*)$", out.strip(),
                         re.S)
        if not match or match.group(1).startswith("not found") or "no such atom" in out:
            return ""
        return match.group(1).strip()

    def root_property(self, name):
        return self._value(self.run("xprop", "-root", "-notype", name, check=False), name)

    def active_window(self):
        value = self.root_property("_NET_ACTIVE_WINDOW")
        # "window id # 0x400007" or with a trailing comma list
        token = value.split("#")[-1].strip().split(",")[0].strip() if value else ""
        return int(token, 16) if token.startswith("0x") else 0

    def prop(self, window, name):
        return self._value(self.run("xprop", "-id", str(window), "-notype", name, check=False),
                           name)

    def geometry(self, window):
        """Absolute x, y, width, height of a window, from xwininfo."""
        out = self.run("xwininfo", "-id", str(window))
        fields = {}
        for line in out.splitlines():
            if ":" in line:
                key, _, val = line.strip().partition(":")
                fields[key] = val.strip()
        return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                int(fields["Width"]), int(fields["Height"]))

    def screenshot(self, path, window="root"):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        self.run("import", "-window", str(window), path)

    def wait_for(self, condition, timeout=5.0, what="condition"):
        deadline = time.time() + timeout
        while True:
            value = condition()
            if value:
                return value
            if time.time() > deadline:
                raise AssertionError(f"timed out after {timeout} s waiting for {what}")
            time.sleep(0.05)


class ForeignWindow:
    """An xlogo window with a known title and client geometry."""

    def __init__(self, session, title, x, y, width, height, timeout=10.0):
        self.session = session
        self.title = title
        self.process = subprocess.Popen(
            [require("xlogo"), "-title", title, "-geometry", f"{width}x{height}+{x}+{y}"],
            env=session.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.id = session.wait_for(self._find, timeout, f"the window {title!r}")
            if session.wm != "none":
                session.wait_for(lambda: session.prop(self.id, "WM_STATE"), timeout,
                                 f"the window manager to take on {title!r}")
        except AssertionError:
            self.close()
            raise

    def _find(self):
        if self.process.poll() is not None:
            raise AssertionError(f"xlogo {self.title!r} exited with {self.process.returncode}")
        out = self.session.run("xdotool", "search", "--onlyvisible", "--name",
                               "^" + re.escape(self.title) + "$", check=False)
        ids = [int(x) for x in out.split()]
        return ids[0] if ids else None

    def activate(self):
        self.session.run("xdotool", "windowactivate", "--sync", str(self.id))

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(5)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--wm", default="openbox", choices=["openbox", "xfwm4", "none"])
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no program to run")
    with XSession(wm=args.wm) as session:
        return subprocess.call(command, env=session.env())


if __name__ == "__main__":
    sys.exit(main())
