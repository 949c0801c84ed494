"""A private X session for end-to-end tests: its own Xvfb on a free display and, unless told
otherwise, a real EWMH window manager (openbox; or xfwm4 with its compositor, on a session bus of
its own). Tools that are missing fail the test with the Debian package to install; nothing is
skipped. What Xvfb, the window manager and D-Bus print goes to logs
in the artifacts folder ($KELTOS_ARTIFACTS), and a waiting test fails at once, with the log, when
one of them has exited. Programs in the session run in a time zone where it is afternoon, so a
clock that shows 12 hours is told from one that shows 24.

As a command:  xsession.py [--wm openbox|xfwm4|none] -- PROGRAM ARGS...
runs PROGRAM inside the session and exits with its status.
"""

import argparse
import datetime
import json
import os
import re
import select
import shutil
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


def artifacts():
    """The folder for logs and screenshots (ctest points KELTOS_ARTIFACTS into the build)."""
    path = os.environ.get("KELTOS_ARTIFACTS", "/tmp/keltos-artifacts")
    os.makedirs(path, exist_ok=True)
    return path


def open_log(name):
    """An artifacts log that each run appends to, under a line saying when."""
    log = open(os.path.join(artifacts(), name + ".log"), "ab")
    log.write(f"--- {datetime.datetime.now():%Y-%m-%d %H:%M:%S} pid {os.getpid()}\n".encode())
    log.flush()
    return log


def log_tail(log, start, size=2000):
    """What was written to a log from offset `start` on (its last `size` bytes), as text."""
    with open(log.name, "rb") as f:
        f.seek(0, os.SEEK_END)
        f.seek(max(start, f.tell() - size))
        return f.read().decode(errors="replace").strip() or "(nothing in " + log.name + ")"


def end(process, timeout=5):
    """Ends a process: asked first, killed when it has not gone after `timeout` seconds."""
    if process is None:
        return
    try:
        if process.poll() is None:
            process.terminate()
            process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout)
    finally:
        for pipe in (process.stdin, process.stdout, process.stderr):
            if pipe:
                pipe.close()


def afternoon_zone(hour=15):
    """A POSIX time zone in which it is now about `hour` o'clock, and its offset from UTC in
    hours."""
    utc_hour = datetime.datetime.now(datetime.timezone.utc).hour
    offset = (hour - utc_hour + 12) % 24 - 12  # -12 .. 11
    return f"KLT{-offset}", offset  # POSIX counts west of Greenwich as positive


def require(tool, package=None):
    """Path of a tool, or an error naming the package that brings it."""
    path = shutil.which(tool) if "/" not in tool else (tool if os.access(tool, os.X_OK) else None)
    if not path:
        package = package or TOOLS.get(tool, tool)
        raise RuntimeError(
            f"'{tool}' is missing: install it with 'apt-get install {package}' "
            "(make test does this)")
    return path


def mount_namespace():
    """The command that runs a program in a mount namespace of its own, whose mounts reach no
    other process. unshare makes them private, which needs a root folder that is a mount; in a
    chroot (make test's roots, each entered in a private namespace already) it is not, and the
    namespace's mounts stay in it as they are."""
    with open("/proc/self/mountinfo") as f:
        root_is_a_mount = any(line.split()[4] == "/" for line in f)
    return [require("unshare", "util-linux"), "--mount", "--propagation",
            "private" if root_is_a_mount else "unchanged"]


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
        self._logs = {}
        self._windows = []  # the other programs' windows opened in the session
        self.tz, self._utc_offset = afternoon_zone()

    def local_now(self):
        """The local time of the programs in this session."""
        now = datetime.datetime.now(datetime.timezone.utc)
        return (now + datetime.timedelta(hours=self._utc_offset)).replace(tzinfo=None)

    def _log(self, name):
        if name not in self._logs:
            log = open_log(name)
            self._logs[name] = (log, log.tell())
        return self._logs[name][0]

    def _log_tail(self, name):
        log, start = self._logs[name]
        return log_tail(log, start)

    def env(self, **extra):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env["HOME"] = self._home.name
        env["TZ"] = self.tz
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
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=self._log("Xvfb"))
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    self._xvfb.wait(5)
                    raise RuntimeError("Xvfb ended before it chose a display: "
                                       + self._log_tail("Xvfb"))
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
        log = self._log("dbus")
        daemon = subprocess.Popen(
            [require("dbus-daemon"), "--session", "--nofork", "--print-address=1"],
            env=self.env(), stdout=subprocess.PIPE, stderr=log, text=True)
        self._bus = [daemon]
        ready = select.select([daemon.stdout], [], [], 10)[0]
        address = daemon.stdout.readline().strip() if ready else ""
        if not address:
            raise RuntimeError(f"dbus-daemon printed no address within 10 s: "
                               f"{self._log_tail('dbus')}")
        self._bus_env["DBUS_SESSION_BUS_ADDRESS"] = address

    def start_accessibility_bus(self):
        """The AT-SPI bus on the session's bus, and Qt told to expose its widgets."""
        self.start_bus()
        self._bus_env.update({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "NO_AT_BRIDGE": "0"})
        log = self._log("dbus")
        launcher = require("/usr/libexec/at-spi-bus-launcher")
        self._bus.append(subprocess.Popen([launcher, "--launch-immediately"], env=self.env(),
                                          stdout=log, stderr=log))
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
        log = self._log(self.wm)
        self._wm = subprocess.Popen(command, env=self.env(), stdout=log, stderr=log)
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

    def check_alive(self):
        """Fails with its log when Xvfb, the window manager or the D-Bus session has exited."""
        for name, process in (("Xvfb", self._xvfb), (self.wm, self._wm),
                              ("dbus", (self._bus or [None])[0])):
            if process is not None and process.poll() is not None:
                raise RuntimeError(f"{name} exited with status {process.returncode}: "
                                   f"{self._log_tail(name)}")

    def stop_wm(self):
        wm, self._wm = self._wm, None
        end(wm)

    def stop(self):
        """Ends every process the session started, whatever fails on the way."""
        processes = ([w.process for w in self._windows] + list(reversed(self._bus or []))
                     + [self._wm, self._xvfb])
        self._windows, self._bus, self._wm, self._xvfb = [], None, None, None
        errors = []
        try:
            for process in processes:
                try:
                    end(process)
                except Exception as error:  # the others are still ended
                    errors.append(error)
        finally:
            for log, _ in self._logs.values():
                log.close()
            self._logs = {}
            if self._home:
                self._home.cleanup()
                self._home = None
        if errors:
            raise errors[0]

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
            self.check_alive()
            value = condition()
            if value:
                return value
            if time.time() > deadline:
                raise AssertionError(f"timed out after {timeout} s waiting for {what}")
            time.sleep(0.05)

    def holds(self, condition, seconds, what="condition"):
        """Checks `condition` every 50 ms for `seconds`; fails as soon as it does not hold."""
        deadline = time.time() + seconds
        while True:
            self.check_alive()
            if not condition():
                raise AssertionError(f"{what} no longer held")
            if time.time() > deadline:
                return
            time.sleep(0.05)


class ForeignWindow:
    """An xlogo window with a known title and client geometry."""

    def __init__(self, session, title, x, y, width, height, timeout=10.0):
        self.session = session
        self.title = title
        self.process = subprocess.Popen(
            [require("xlogo"), "-title", title, "-geometry", f"{width}x{height}+{x}+{y}"],
            env=session.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        session._windows.append(self)
        try:
            self.id = session.wait_for(self._find, timeout, f"the window {title!r}")
            if session.wm != "none":
                session.wait_for(lambda: session.prop(self.id, "WM_STATE"), timeout,
                                 f"the window manager to take on {title!r}")
        except BaseException:
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
        end(self.process)


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
