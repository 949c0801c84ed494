"""A private Wayland session for end-to-end tests, shared by every desktop.

The compositor, its XWayland, the test windows and KELTOS run as one ordinary user (compositors
refuse root, and XWayland's authorisation then lets the same user in), with a runtime directory
and a session bus of their own; the user is an account of the session's own, its home in the
runtime directory, and goes with it. What differs between desktops is only how the compositor
starts and how it is asked about its windows: a `Desktop` subclass per desktop says that, and
the list of cases in test_wayland.py runs against each.

Tools that are missing fail the test with the Debian package to install; nothing is skipped.
"""

import fcntl
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from keltos import binary  # noqa: E402
from xsession import artifacts, require  # noqa: E402

ACCOUNT = "keltos-t"  # the sessions' accounts: this and the runtime directory's last 8 characters
DEBIAN_PYTHON = "/usr/bin/python3"  # the one that sees python3-gi
HERE = os.path.dirname(os.path.abspath(__file__))


def locked(path):
    """Whether a live session holds the lock of this runtime directory (False once it is gone)."""
    try:
        fd = os.open(path, os.O_RDONLY)
    except FileNotFoundError:
        return False
    try:
        return fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)  # None: nobody held it
    except BlockingIOError:
        return True
    finally:
        os.close(fd)


def processes_in_this_root(uid):
    """The processes of this uid that share this process's root directory (a root of another
    Debian release sees every process of the machine, whose uids are not its accounts)."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.stat(f"/proc/{pid}").st_uid == uid and os.path.samefile(f"/proc/{pid}/root", "/"):
                found.append(int(pid))
        except OSError:
            pass  # it has ended
    return found


def remove_account(name, uid, runtime):
    """Ends what still runs as a session's account (services its bus started end a little after
    it), removes the account (userdel refuses while a process of it is being reaped) and its
    runtime directory, detaching what the document portal its bus started mounted there."""
    for pid in processes_in_this_root(uid):
        os.kill(pid, signal.SIGKILL)
    wait_for(lambda: not processes_in_this_root(uid), 5, f"the processes of {name} to end")
    wait_for(lambda: subprocess.run(["userdel", name], capture_output=True).returncode != 8, 5,
             f"userdel to remove {name}")
    with open("/proc/self/mounts") as mounts:
        points = [line.split()[1] for line in mounts if line.split()[1].startswith(runtime + "/")]
    for point in points:
        subprocess.run(["umount", "--lazy", point], capture_output=True)
    shutil.rmtree(runtime, ignore_errors=True)


def wait_for(probe, seconds, what, interval=0.05):
    """The first true value `probe` returns within `seconds`, else an AssertionError."""
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {seconds} s waiting for {what}")
        time.sleep(interval)


class Desktop:
    """How one desktop starts and how it is asked. Subclasses fill in every method."""

    name = ""
    # Environment KELTOS and the test windows get besides WAYLAND_DISPLAY, DISPLAY, XAUTHORITY
    # and the session bus (which the session sets from what start() puts into session.env).
    session_env = {}
    # How many XWayland pixels one logical pixel spans in this desktop's session: what the
    # desktop gives X11 clients at its output scale (1 where they are scaled by the desktop).
    scale = 1
    # The scale the bar was drawn at (X11 clients take Xft.dpi once, at start): its size and its
    # insets are in those pixels. None: `scale`; it differs only once the desktop's scale has
    # changed while KELTOS runs.
    bar_scale = None
    # The desktop's size in its own (logical) pixels.
    size = (1600, 900)

    def start(self, session):
        """Starts the compositor with XWayland as session.user; fills session.env with
        WAYLAND_DISPLAY, DISPLAY, XAUTHORITY (and SWAYSOCK where it applies)."""
        raise NotImplementedError

    def focus(self, session, title):
        """Gives the focus to the window with this exact title."""
        raise NotImplementedError

    def minimize(self, session, title):
        raise NotImplementedError

    # The window moved by the desktop's own command in the resting case: one the desktop tells
    # KELTOS about when it moves.
    moved_window = "Mail B"

    def move(self, session, title, x, y):
        """Moves the window with this title to (x, y) by the desktop's own command."""
        raise NotImplementedError

    def retile(self, session, title):
        """Tiles the window again where moving it made it float (sway, Hyprland)."""

    def frame(self, session, title):
        """(x, y, width, height) of the window's frame as the compositor places it, in its
        global coordinates (title bar included)."""
        raise NotImplementedError

    def bar_above(self, session, title):
        """Whether the bar is stacked above the window with this title."""
        raise NotImplementedError

    def while_running(self, session):
        """Anything the desktop changes once KELTOS runs (its scale, say); nothing here."""

    def stop(self, session):
        """Anything start() left that the session does not end itself."""


class Session:
    """One desktop's session: user, runtime directory, session bus, compositor, windows."""

    def __init__(self, desktop):
        self.desktop = desktop
        self.user = None
        self._lock = None
        self.env = {}
        self._processes = []
        self._logs = []
        self.runtime = None

    # -- set-up and tear-down ---------------------------------------------------------------

    def start(self):
        try:
            self.runtime = tempfile.mkdtemp(prefix=f"keltos-{self.desktop.name}-")
            self._make_user()
            os.chmod(self.runtime, 0o700)
            os.chown(self.runtime, self.uid, self.gid)
            # The session's user may not reach the build folder (a clone under /root, say): it
            # runs copies of KELTOS and of the test window from its own runtime directory.
            self.keltos_bin = shutil.copy(binary(), os.path.join(self.runtime, "keltos"))
            self.gtk_window = shutil.copy(os.path.join(HERE, "gtk_window.py"), self.runtime)
            self.env = {
                "HOME": self.home,
                "USER": self.user,
                "XDG_RUNTIME_DIR": self.runtime,
                "PATH": "/usr/local/bin:/usr/bin:/bin",
                "LANG": "C.UTF-8",
            }
            self._start_bus()
            self.desktop.start(self)
            self.env.update(self.desktop.session_env)
        except BaseException:
            self.stop()
            raise

    def stop(self):
        try:
            self.desktop.stop(self)
        finally:
            for process in reversed(self._processes):
                self._end(process)
            self._processes.clear()
            for log in self._logs:
                log.close()
            self._logs.clear()
            if self.user:
                remove_account(self.user, self.uid, self.runtime)
                self.user = None
            if self.runtime:
                shutil.rmtree(self.runtime, ignore_errors=True)
                if self._lock:
                    self._lock = os.close(self._lock)
                self.runtime = None

    def _make_user(self):
        """The session's account, its home in the runtime directory. The runtime directory is
        locked while the session lives: what a session that was killed left (the processes of
        its account in this root, the account and the runtime directory) the next one removes."""
        self._lock = os.open(self.runtime, os.O_RDONLY)  # closed, and unlocked, when this ends
        fcntl.flock(self._lock, fcntl.LOCK_EX)
        for entry in pwd.getpwall():
            runtime = os.path.dirname(entry.pw_dir)
            if (entry.pw_name.startswith(ACCOUNT) and os.path.dirname(runtime) ==
                    tempfile.gettempdir() and not locked(runtime)):
                remove_account(entry.pw_name, entry.pw_uid, runtime)
        self.home, name = os.path.join(self.runtime, "home"), ACCOUNT + self.runtime[-8:]
        subprocess.run([require("useradd", "passwd"), "--no-create-home", "--home-dir", self.home,
                        "--shell", "/usr/sbin/nologin", name], check=True)
        self.user, self.uid, self.gid = name, *pwd.getpwnam(name)[2:4]
        os.mkdir(self.home, 0o700)
        os.chown(self.home, self.uid, self.gid)

    def _start_bus(self):
        address = f"unix:path={self.runtime}/bus"
        self.spawn([require("dbus-daemon", "dbus"), "--session", "--nofork",
                    f"--address={address}"], "dbus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        wait_for(lambda: os.path.exists(f"{self.runtime}/bus"), 10, "the session bus")

    @staticmethod
    def _end(process, grace=3):
        if process.poll() is not None:
            return
        try:
            os.killpg(process.pid, signal.SIGTERM)
            process.wait(timeout=grace)
        except (ProcessLookupError, subprocess.TimeoutExpired):
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait(timeout=grace)

    # -- processes as the session's user -------------------------------------------------

    def spawn(self, argv, log_name, env=None, stdout=None):
        """Starts argv as the session's user in its own process group; its stderr (and stdout
        unless given) goes to the artifacts folder as <desktop>-<log_name>.log."""
        log = open(os.path.join(artifacts(), f"{self.desktop.name}-{log_name}.log"), "ab")
        self._logs.append(log)
        full_env = dict(self.env)
        full_env.update(env or {})
        process = subprocess.Popen(
            argv, env=full_env, user=self.uid, group=self.gid, extra_groups=[],
            stdout=stdout if stdout is not None else log, stderr=log, start_new_session=True,
            cwd=self.home)
        self._processes.append(process)
        return process

    def run(self, *argv, env=None, check=True, timeout=20):
        """Runs a short command as the session's user; returns its stdout."""
        full_env = dict(self.env)
        full_env.update(env or {})
        result = subprocess.run(argv, env=full_env, user=self.uid, group=self.gid,
                                extra_groups=[], capture_output=True, text=True, timeout=timeout,
                                cwd=self.home)
        if check and result.returncode != 0:
            raise AssertionError(f"{argv} failed ({result.returncode}): {result.stderr.strip()}")
        return result.stdout

    def end(self, process):
        """Ends one process started by spawn()."""
        self._end(process)
        if process in self._processes:
            self._processes.remove(process)

    # -- the test's windows and KELTOS ---------------------------------------------------

    def window(self, title, native=True):
        """A GTK 3 window titled `title`: a native Wayland one, or with native False an X11 one
        through XWayland. Returns once the compositor has it."""
        require(DEBIAN_PYTHON, "python3")
        backend = "wayland" if native else "x11"
        return self.spawn([DEBIAN_PYTHON, self.gtk_window, title],
                          f"window-{title.split()[0]}", env={"GDK_BACKEND": backend})

    def start_keltos(self, env=None):
        """KELTOS with the session's environment, and `env` over it."""
        return self.spawn([self.keltos_bin], "keltos", env=env)

    def x(self, *argv):
        """An X11 tool against XWayland, as the session's user."""
        return self.run(*argv)

    def bars(self):
        """The X11 window ids of every KELTOS bar XWayland shows."""
        out = self.run(require("xdotool", "xdotool"), "search", "--onlyvisible", "--name",
                       "^KELTOS - ", check=False)
        return [int(i) for i in out.split()]

    def bar(self):
        """The bar's X11 window id, once XWayland shows it."""
        return wait_for(lambda: (self.bars() or [None])[0], 15, "the KELTOS window on XWayland")

    def bar_geometry(self, bar):
        """(x, y, width, height) of the bar in XWayland's root coordinates."""
        out = self.run(require("xwininfo", "x11-utils"), "-id", str(bar))
        values = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def bar_title(self, bar):
        out = self.run(require("xprop", "x11-utils"), "-id", str(bar), "WM_NAME")
        return out.partition("=")[2].strip().strip('"')
