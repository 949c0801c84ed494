"""KELTOS and its reference programs side by side in Wayland sessions: KWin, GNOME Shell and sway,
each headless with XWayland, started exactly as the Wayland test suites start them
(tests/wayland/session.py and the desktop classes beside it).

    python3 bench/bench_wayland.py BUILD_DIR        (make bench-wayland does this)

Environment: BENCH_DESKTOPS (which desktops, in order; default kwin,gnome,sway), BENCH_SECONDS
(length of each phase, default 20), BENCH_RUNS (runs per desktop, default 3), BENCH_SWITCHES
(foreground switches for the docking latency over all runs of a desktop, default 30),
BENCH_SWAY_WINDOWS (the window counts sway is measured idle with, default 5,50) and
BENCH_SWAY_SECONDS (length of each of those phases, default three times BENCH_SECONDS).

Per desktop, one session: its user, runtime directory, session bus and compositor, as the suites
make them. Three ordinary windows, the suites' GTK 3 test window: 'Work - notes' and 'Mail'
native Wayland windows, 'Terminal' an X11 one through XWayland (GNOME and KWin place them apart;
sway tiles them side by side). Each run starts xclock, the Qt floor and KELTOS under XWayland as
the session's user, times each from exec to its window being mapped, and measures every program
over these phases:
  Idle native  'Work - notes' in front (brought there by the desktop), KELTOS docked on it;
  Idle X11     'Terminal' in front, KELTOS docked on it;
  Focused      KELTOS's bar in front (where the desktop can focus it: KWin and GNOME; sway
               never focuses the unmanaged bar) and a click in its time box, measured from
               10.5 s after the click (its caret rests after 10 s without input);
  Running      START clicked and the floors told to run (SIGUSR1), 'Work - notes' in front
               again, measured from 1.5 s after the click while the title is sampled;
then brings 'Mail', 'Terminal' and 'Work - notes' to the front in turn by the desktop's own means
(KWin: a script; GNOME Shell: Main.activateWindow; sway: a focus command on its IPC) and times
how long after the desktop carried out each switch the bar rests on the new window (the desktop
stamps that moment itself where it can: KWin with the script's clock, GNOME Shell with its
monotonic clock; for sway it is when the command is sent).

sway also: KELTOS idle with 5 and with 50 ordinary windows open, the ones beyond the three above
native GTK 3 windows (most programs in a sway session are native), 5 to a workspace from the
second on, so that the window in front and the workspace shown stay the same; at each count
sway's and XWayland's own CPU time is measured without KELTOS and with it.

Each desktop gets a table of medians over the runs (min, max, ratio to xclock and the Qt floor),
then its goals with their verdicts; at the end the goals of every desktop side by side. The exit
status is 1 when a goal is missed or a desktop could not be measured. Sessions and everything run
in them are ended however the bench ends.
"""

import glob
import json
import os
import queue
import random
import re
import shutil
import signal
import socket
import statistics
import struct
import subprocess
import sys
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "wayland"))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from session import DEBIAN_PYTHON, Session, wait_for  # noqa: E402
from xsession import require  # noqa: E402

import measure  # noqa: E402

START_BUTTON = (171, 8)  # the middle of START in the bar, in pixels at 96 DPI
TIME_BOX = (108, 9)  # the middle of the time box
SETTLE = 1.5  # seconds between clicking START and measuring the Running phase
CARET_REST = 10.5  # seconds between clicking into the time box and measuring the Focused phase
DOCKING_WAIT = 3.0  # seconds a switch waits for the bar before it counts as not docked
BAR_RIGHT, BAR_TOP = 63 + 306, 4  # the bar's left edge from the frame's right, its top inset

# The ordinary windows: title, native (else X11), where GNOME and KWin put the frame.
WORK, MAIL, TERMINAL = "Work - notes", "Mail", "Terminal"
WINDOWS = [(WORK, True, (200, 300)), (MAIL, True, (100, 150)), (TERMINAL, False, (560, 80))]
NATIVE = {title: native for title, native, _ in WINDOWS}
SWITCHES = [MAIL, TERMINAL, WORK]  # the order the docking switches bring them to the front
FILLER = "Filler"  # sway's extra windows: "Filler 4" to "Filler 50"
PER_WORKSPACE = 5

# The programs: name, argv (after the copy into the session's runtime directory), title prefix
# (the bench_probe maps watches for it), where the desktop is asked to put the window.
REFERENCES = ["xclock", "qt-floor"]
NAMES = ["xclock", "qt-floor", "keltos"]
THREADS_SHOWN = ["qt-floor", "keltos"]  # wake-ups per thread
FLOOR_PLACES = {"xclock": (1350, 640), "qt-floor": (1250, 860)}
FLOOR_TITLES = {"xclock": "xclock", "qt-floor": "floor-qt - 00:00:00"}


def stamp_from_wall(milliseconds):
    """A wall-clock time in ms (a JavaScript Date.now()) on the monotonic clock, in seconds."""
    return milliseconds / 1000 - (time.time() - time.monotonic())


# -- each desktop's own means --------------------------------------------------------------------

class KWinMeans:
    """KWin, asked through the suite's scripts (KWin.query)."""

    name = "KWin"
    focuses_bar = True
    places_windows = True
    how = ("a KWin script sets workspace.activeWindow (timed from the script's Date.now() just "
           "before)")

    def __init__(self, desktop, session):
        self.d, self.s = desktop, session

    def version(self):
        copy = os.path.join(self.s.runtime, "kwin", "kwin_wayland")
        out = subprocess.run([copy, "--version"], capture_output=True, text=True, timeout=20)
        found = re.search(r"kwin (\S+)", out.stdout + out.stderr)
        return f"KWin {found[1] if found else '(version unknown)'}"

    def focus(self, title):
        stamp = self.d.query(self.s, f"""
            var w = find({json.dumps(title)});
            if (!w) return null;
            if (w.minimized) w.minimized = false;
            var now = Date.now();
            if (workspace.activeWindow !== undefined) workspace.activeWindow = w;
            else workspace.activeClient = w;
            return now;""")
        if stamp is None:
            raise RuntimeError(f"KWin has no window titled {title!r}")
        return stamp_from_wall(stamp)

    def focused(self):
        return self.d.query(self.s, """
            var w = workspace.activeWindow !== undefined ? workspace.activeWindow
                                                         : workspace.activeClient;
            return w ? w.caption : null;""")

    def place(self, title, x, y):
        moved = self.d.query(self.s, f"""
            var w = find({json.dumps(title)});
            if (!w) return null;
            var g = w.frameGeometry;
            w.frameGeometry = {{x: {x}, y: {y}, width: g.width, height: g.height}};
            return [w.frameGeometry.x, w.frameGeometry.y];""")
        if moved != [x, y]:
            raise RuntimeError(f"KWin did not move {title!r} to {x},{y}: {moved}")

    def frame(self, title):
        return self.d.frame(self.s, title)


class GnomeMeans:
    """GNOME Shell, asked through the suite's unsafe-mode Eval (GnomeShell.eval)."""

    name = "GNOME Shell"
    focuses_bar = True
    places_windows = True
    how = ("Main.activateWindow in the shell (timed from the shell's GLib.get_monotonic_time() "
           "just before)")

    def __init__(self, desktop, session):
        self.d, self.s = desktop, session

    def version(self):
        return subprocess.run(["gnome-shell", "--version"], capture_output=True, text=True,
                              timeout=20).stdout.strip()

    def focus(self, title):
        stamp = self.d.eval(self.s, f"""(() => {{
            const w = {self.d.window_js(title)};
            if (!w) return null;
            const now = imports.gi.GLib.get_monotonic_time();
            Main.activateWindow(w, global.get_current_time());
            return now;
        }})()""")
        if stamp is None:
            raise RuntimeError(f"GNOME Shell has no window titled {title!r}")
        return stamp / 1e6

    def focused(self):
        return self.d.eval(self.s, "global.display.focus_window?.get_title() ?? null")

    def place(self, title, x, y):
        self.d.eval(self.s, f"{self.d.window_js(title)}.move_frame(true, {x}, {y})")
        wait_for(lambda: self.frame(title)[:2] == [x, y], 5, f"GNOME Shell to move {title!r}")

    def frame(self, title):
        return self.d.frame(self.s, title)


class SwayMeans:
    """sway, through its IPC socket (the real one, not the suite's relay KELTOS talks to)."""

    name = "sway"
    focuses_bar = False
    places_windows = False  # it tiles them
    how = "a focus command on sway's IPC (timed from when it is sent)"

    def __init__(self, desktop, session):
        self.d, self.s = desktop, session

    def version(self):
        return subprocess.run(["sway", "--version"], capture_output=True, text=True,
                              timeout=20).stdout.strip()

    def ipc(self, kind, payload=""):
        """One message of i3's IPC (type `kind`); its JSON reply."""
        data = payload.encode()
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(10)
            s.connect(self.d.sock)
            s.sendall(b"i3-ipc" + struct.pack("=II", len(data), kind) + data)
            header = self._exactly(s, 14)
            length = struct.unpack("=I", header[6:10])[0]
            return json.loads(self._exactly(s, length))

    @staticmethod
    def _exactly(s, size):
        data = b""
        while len(data) < size:
            chunk = s.recv(size - len(data))
            if not chunk:
                raise RuntimeError("sway closed its IPC connection")
            data += chunk
        return data

    def command(self, text):
        replies = self.ipc(0, text)
        if not all(r.get("success") for r in replies):
            raise RuntimeError(f"sway refused {text!r}: {replies}")

    def focus(self, title):
        sent = time.monotonic()
        self.command(f'[title="^{title}$"] focus')
        return sent

    def nodes(self):
        pending = [self.ipc(4)]
        while pending:
            node = pending.pop()
            yield node
            pending += node.get("nodes", []) + node.get("floating_nodes", [])

    def focused(self):
        return next((n.get("name") for n in self.nodes() if n.get("focused")), None)

    def place(self, title, x, y):
        self.command(f'[title="^{title}"] floating enable, move absolute position {x} {y}')

    def frame(self, title):
        return self.d.frame(self.s, title)


def desktops():
    """The desktops by their BENCH_DESKTOPS names: (make the suite's Desktop, its means)."""
    import gnome
    import kwin
    import sway
    return {
        "kwin": (kwin.KWin, KWinMeans),
        "gnome": (gnome.GnomeShell, GnomeMeans),
        "sway": (sway.Sway, SwayMeans),
    }


# -- processes -----------------------------------------------------------------------------------

class Lines:
    """The lines a process prints, read by a thread of their own, each with a deadline."""

    def __init__(self, process):
        self.queue = queue.Queue()
        self.thread = threading.Thread(target=self._read, args=(process.stdout,), daemon=True)
        self.thread.start()

    def _read(self, pipe):
        for line in pipe:
            self.queue.put(line.decode(errors="replace").rstrip("\n"))
        self.queue.put(None)

    def next(self, seconds, what):
        try:
            line = self.queue.get(timeout=seconds)
        except queue.Empty:
            raise RuntimeError(f"timed out after {seconds} s waiting for {what}") from None
        if line is None:
            raise RuntimeError(f"the probe ended waiting for {what}")
        return line


def session_processes(runtime):
    """{pid: name} of the processes of a session: the ones whose XDG_RUNTIME_DIR is its runtime
    directory (everything started in the session inherits it)."""
    want = f"XDG_RUNTIME_DIR={runtime}".encode()
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if want not in f.read().split(b"\0"):
                    continue
            with open(f"/proc/{entry}/comm") as f:
                found[int(entry)] = f.read().strip()
        except OSError:
            pass
    return found


def end_leftovers(runtime, grace=5):
    """Ends, by their ids, whatever processes of a stopped session are still there after `grace`
    seconds (one that left its process group, say), and says so."""
    deadline = time.monotonic() + grace
    while (left := session_processes(runtime)) and time.monotonic() < deadline:
        time.sleep(0.2)
    for pid, name in left.items():
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            continue
        print(f"bench-wayland: ended {name} ({pid}), left behind by the session in {runtime}",
              file=sys.stderr)


class SessionProcess:
    """A process the desktop started (the compositor, its XWayland), found by its name among the
    session's processes, and looked at as the bench looks at its own (pid, poll)."""

    def __init__(self, session, name):
        self.pid = wait_for(lambda: next((pid for pid, comm in
                                          session_processes(session.runtime).items()
                                          if comm == name), None), 10,
                            f"a process named {name} in the session")

    def poll(self):
        return None if os.path.exists(f"/proc/{self.pid}") else 1


# -- one desktop ---------------------------------------------------------------------------------

class DesktopBench:
    """One desktop's session with the ordinary windows open, and the runs in it."""

    def __init__(self, name, build, settings):
        make_desktop, make_means = desktops()[name]
        self.name, self.build, self.settings = name, build, settings
        self.desktop = make_desktop()
        self.session = Session(self.desktop)
        self.means = None
        self.runs = []
        self.sway_runs = []

    def __enter__(self):
        self.session.start()
        try:
            self.means = desktops()[self.name][1](self.desktop, self.session)
            self._copy_programs()
            self._open_windows()
        except BaseException:
            self._stop()
            raise
        return self

    def __exit__(self, *exc):
        self._stop()

    def _stop(self):
        runtime = self.session.runtime
        try:
            self.session.stop()
        finally:
            if runtime:
                end_leftovers(runtime)

    def _copy_programs(self):
        """The session's user may not reach the build folder (a clone under /root, say): it runs
        copies from its own runtime directory, as the suites' Session does with KELTOS."""
        runtime = self.session.runtime
        self.probe = shutil.copy(os.path.join(self.build, "bench", "bench_probe"), runtime)
        self.qt_floor = shutil.copy(os.path.join(self.build, "bench", "qt_floor"), runtime)
        self.gtk_windows = shutil.copy(os.path.join(HERE, "gtk_windows.py"), runtime)
        self.xclock = require("xclock", "x11-apps")

    def _open_windows(self):
        for title, native, _ in WINDOWS:
            self.session.window(title, native=native)
        for title, _, _ in WINDOWS:
            wait_for(lambda t=title: self.has(t), 30, f"the window '{title}'")
        if self.means.places_windows:
            for title, _, (x, y) in WINDOWS:
                self.means.place(title, x, y)

    def has(self, title):
        try:
            return self.means.frame(title) is not None
        except AssertionError:
            return False

    def expected(self, title):
        """Where the bar docks on the window with this title, in XWayland's pixels (scale 1)."""
        x, y, width, _ = self.means.frame(title)
        return (x + width - BAR_RIGHT, y + BAR_TOP)

    def dock_on(self, title, bar):
        """Brings the window to the front and waits for the bar on it."""
        self.means.focus(title)
        want = self.expected(title)
        try:
            wait_for(lambda: self.session.bar_geometry(bar)[:2] == want, DOCKING_WAIT,
                     f"the bar on '{title}' at {want}", interval=0.1)
        except AssertionError as error:
            raise RuntimeError(f"{error}; it is at {self.session.bar_geometry(bar)[:2]}") from None

    def run(self, switches):
        run = WaylandRun(self, switches)
        try:
            run.go()
        finally:
            run.stop()
        self.runs.append(run)

    def sway_windows(self, counts):
        run = SwayWindowsRun(self, counts)
        try:
            run.go()
        finally:
            run.stop()
        self.sway_runs.append(run)


class WaylandRun(measure.Figures):
    """One run of the programs in a desktop's session."""

    def __init__(self, bench, switches):
        super().__init__()
        self.b = bench
        self.s = bench.session
        self.means = bench.means
        self.seconds = bench.settings["seconds"]
        self.switches = switches
        self.procs = {}
        self.windows = {}
        self.latencies = {}  # target title -> [ms, or None when the bar did not dock]
        self.focus_costs = []  # ms each of the desktop's focus requests took
        self.in_front = {}  # phase -> the title the desktop had in front at its end

    def probe(self, *args):
        return [self.b.probe, *map(str, args)]

    def start_programs(self):
        listed = [("xclock", [self.b.xclock, "-digital", "-update", "1"], "xclock"),
                  ("qt-floor", [self.b.qt_floor], "floor-qt"),
                  ("keltos", [self.s.keltos_bin], "KELTOS - ")]
        watcher = self.s.spawn(self.probe("maps", *[p for _, _, p in listed]), "probe-maps",
                               stdout=subprocess.PIPE)
        try:
            lines = Lines(watcher)
            if lines.next(10, "bench_probe maps to listen") != "ready":
                raise RuntimeError("bench_probe maps did not start")
            for name, argv, prefix in listed:
                started = time.monotonic()
                self.procs[name] = self.s.spawn(argv, f"bench-{name}")
                line = lines.next(30, f"{name}'s window").split("\t")
                if len(line) != 3 or line[0] != prefix:
                    raise RuntimeError(f"{name} was not seen mapped: {line}")
                self.put("start-up to mapped (ms)", name, (float(line[1]) - started) * 1000)
                self.windows[name] = int(line[2])
        finally:
            self.s.end(watcher)
        for name, (x, y) in FLOOR_PLACES.items():
            wait_for(lambda n=name: self.b.has(FLOOR_TITLES[n]), 15,
                     f"the desktop to have {name}")
            self.means.place(FLOOR_TITLES[name], x, y)

    def phase(self, phase, during=None):
        extra = self.measure_phase(phase, self.procs, self.seconds, THREADS_SHOWN, during)
        self.in_front[phase] = self.means.focused()
        return extra

    def go(self):
        self.start_programs()
        time.sleep(2)
        self.record_memory("start-up", self.procs)
        bar = self.windows["keltos"]
        self.b.dock_on(WORK, bar)
        time.sleep(2)
        self.phase("Idle native")
        self.b.dock_on(TERMINAL, bar)
        time.sleep(2)
        self.phase("Idle X11")
        if self.means.focuses_bar:
            self.means.focus(self.s.bar_title(bar))
        self.s.run(*self.probe("click", bar, *TIME_BOX))
        time.sleep(CARET_REST)
        self.phase("Focused")
        self.running(bar)
        self.dock_switches(bar)

    def running(self, bar):
        # The readout is sampled from START on; the Running figures are taken once the click
        # and the switch back to the window in front have settled.
        readout = self.s.spawn(self.probe("readout", bar, *START_BUTTON,
                                          self.seconds + SETTLE + 0.5, 0),
                               "probe-readout", stdout=subprocess.PIPE)
        try:
            time.sleep(0.3)
            for name in ("qt-floor",):
                self.procs[name].send_signal(signal.SIGUSR1)
            self.means.focus(WORK)
            time.sleep(max(0.0, SETTLE - 0.3))
            self.phase("Running")
            out, _ = readout.communicate(timeout=30)
        finally:
            self.s.end(readout)
        self.record_readout(out.decode(), readout.returncode)

    def dock_switches(self, bar):
        """Brings the windows to the front in turn by the desktop's means; for each switch, the
        ms from the moment the desktop carried it out to the bar resting on the new window."""
        want = {title: self.b.expected(title) for title in SWITCHES}
        if len(set(want.values())) != len(want):
            raise RuntimeError(f"the bar would dock at the same place on two windows: {want}")
        watcher = self.s.spawn(self.probe("watch", bar), "probe-watch", stdout=subprocess.PIPE)
        seen = []  # (monotonic seconds, x, y), each time the bar moved
        lines = Lines(watcher)

        def collect():
            while True:
                try:
                    line = lines.queue.get_nowait()
                except queue.Empty:
                    return
                if line is None:
                    raise RuntimeError("the bar went while docking was timed")
                t, x, y = line.split()
                seen.append((float(t), int(x), int(y)))

        try:
            lines.next(10, "the bar's first position")
            phases = random.Random(12345 + len(self.b.runs))
            for i in range(self.switches):
                target = SWITCHES[i % len(SWITCHES)]
                time.sleep(phases.random())  # at any phase of the bar's one-second tick
                collect()
                mark = len(seen)
                asked = time.monotonic()
                done = self.means.focus(target)
                self.focus_costs.append((time.monotonic() - asked) * 1000)
                latency = None
                while time.monotonic() < max(done, asked) + DOCKING_WAIT:
                    collect()
                    arrived = [t for t, x, y in seen[mark:] if (x, y) == want[target]]
                    if arrived:
                        latency = (arrived[0] - done) * 1000
                        break
                    time.sleep(0.01)
                self.latencies.setdefault(target, []).append(latency)
        finally:
            self.s.end(watcher)

    def stop(self):
        for proc in self.procs.values():
            self.s.end(proc)


class SwayWindowsRun(measure.Figures):
    """KELTOS idle in sway with more and more ordinary windows open, and sway's and XWayland's
    own CPU time without KELTOS and with it."""

    def __init__(self, bench, counts):
        super().__init__()
        self.b = bench
        self.s = bench.session
        self.means = bench.means
        self.counts = counts
        self.seconds = bench.settings["sway_seconds"]
        self.fillers = []

    def go(self):
        desktop = {"sway": SessionProcess(self.s, "sway"),
                   "xwayland": SessionProcess(self.s, "Xwayland")}
        have = len(WINDOWS)
        for count in self.counts:
            if count > have:
                self.open_fillers(have + 1, count)
                have = count
            self.means.focus(WORK)
            time.sleep(2)
            self.measure_phase(f"{count} windows, no KELTOS", desktop, self.seconds,
                               memory=False)
            keltos = self.s.start_keltos()
            try:
                bar = self.s.bar()
                self.b.dock_on(WORK, bar)
                time.sleep(2)
                self.measure_phase(f"{count} windows", {"keltos": keltos, **desktop},
                                   self.seconds, memory=False)
            finally:
                self.s.end(keltos)
            wait_for(lambda: not self.s.bars(), 10, "KELTOS's bar to go")

    def open_fillers(self, first, last):
        """Native GTK 3 windows "Filler FIRST" to "Filler LAST", moved 5 to a workspace from the
        second workspace on."""
        self.fillers.append(self.s.spawn(
            [DEBIAN_PYTHON, self.b.gtk_windows, FILLER, str(first), str(last)],
            f"fillers-{first}", env={"GDK_BACKEND": "wayland"}))
        titles = {f"{FILLER} {n}" for n in range(first, last + 1)}
        wait_for(lambda: titles <= {n.get("name") for n in self.means.nodes()}, 60,
                 f"sway to have windows {first} to {last}", interval=0.2)
        for n in range(first, last + 1):
            workspace = 2 + (n - len(WINDOWS) - 1) // PER_WORKSPACE
            self.means.command(f'[title="^{FILLER} {n}$"] move container to workspace number '
                               f"{workspace}")

    def stop(self):
        for process in self.fillers:
            self.s.end(process)


# -- tables --------------------------------------------------------------------------------------

def figures_table(bench):
    """The desktop's figures and its goals: (lines, goals as (name, measured, limit))."""
    runs = bench.runs
    width = 30
    lines, medians = measure.table(runs, NAMES, REFERENCES, width)
    every = []
    by_kind = {True: [], False: []}
    timeouts = 0
    for run in runs:
        for title, values in run.latencies.items():
            for value in values:
                if value is None:
                    timeouts += 1
                else:
                    every.append(value)
                    by_kind[NATIVE[title]].append(value)
    note = f"over {len(every)} switches" + (f", {timeouts} not docked within "
                                            f"{DOCKING_WAIT:g} s" if timeouts else "")
    lines.append(measure.spread("docking latency (ms)", "keltos", every, note, width))
    lines.append(measure.spread("  to a native window", "keltos", by_kind[True],
                                f"over {len(by_kind[True])}", width))
    lines.append(measure.spread("  to an X11 window", "keltos", by_kind[False],
                                f"over {len(by_kind[False])}", width))
    costs = [c for run in runs for c in run.focus_costs]
    lines.append(measure.spread("focus request (ms)", bench.name, costs,
                                "how long the desktop's focus request took", width))
    for phase in runs[0].in_front:
        shown = sorted({str(run.in_front.get(phase)) for run in runs})
        lines.append(f"in front at the end of {phase}: {', '.join(repr(t) for t in shown)}")

    m = lambda figure, name: medians.get((figure, name), float("nan"))  # noqa: E731
    rows = []
    for phase, kind in (("Idle native", "native"), ("Idle X11", "X11")):
        rows.append((f"Idle ({kind} in front) CPU <= xclock's",
                     m(f"CPU {phase} (ms/min)", "keltos"), m(f"CPU {phase} (ms/min)", "xclock")))
        rows.append((f"Idle ({kind} in front) wake-ups <= Qt floor's + 1/s",
                     m(f"wake-ups {phase} (/s)", "keltos"),
                     m(f"wake-ups {phase} (/s)", "qt-floor") + 1))
    worst = float("inf") if timeouts or not every else max(every)
    rows.append(("docking latency <= 1100 ms", worst, 1100))
    return lines, rows


def sway_windows_table(bench):
    """KELTOS, sway and XWayland idle at each window count: (lines, goals)."""
    runs = bench.sway_runs
    counts = bench.settings["sway_windows"]
    first, last = counts[0], counts[-1]
    rows = [("CPU (ms/min)", "keltos", "{} windows", "CPU"),
            ("wake-ups (/s)", "keltos", "{} windows", "wake-ups"),
            ("CPU (ms/min)", "sway", "{} windows", "CPU"),
            ("CPU, no KELTOS (ms/min)", "sway", "{} windows, no KELTOS", "CPU"),
            ("CPU (ms/min)", "xwayland", "{} windows", "CPU"),
            ("CPU, no KELTOS (ms/min)", "xwayland", "{} windows, no KELTOS", "CPU"),
            ("wake-ups (/s)", "sway", "{} windows", "wake-ups"),
            ("wake-ups, no KELTOS (/s)", "sway", "{} windows, no KELTOS", "wake-ups"),
            ("wake-ups (/s)", "xwayland", "{} windows", "wake-ups"),
            ("wake-ups, no KELTOS (/s)", "xwayland", "{} windows, no KELTOS", "wake-ups")]
    cell = 24
    header = (f"{'idle':<26}{'program':<10}"
              + "".join(f"{f'{c} windows: median (min-max)':>{cell + 8}}" for c in counts)
              + f"{f'{last}/{first}':>10}")
    lines = [header, "-" * len(header)]
    medians = {}
    for label, program, phase, kind in rows:
        unit = "(ms/min)" if kind == "CPU" else "(/s)"
        text = f"{label:<26}{program:<10}"
        for count in counts:
            figure = f"{kind} {phase.format(count)} {unit}"
            values = [r.figures[(figure, program)] for r in runs if (figure, program) in r.figures]
            if not values:
                text += f"{'-':>{cell + 8}}"
                continue
            med = medians[(label, program, count)] = statistics.median(values)
            text += f"{f'{med:.2f} ({min(values):.2f}-{max(values):.2f})':>{cell + 8}}"
        a, b = medians.get((label, program, first)), medians.get((label, program, last))
        text += f"{b / a:>9.2f}x" if a and b is not None else f"{'-':>10}"
        lines.append(text)
    cpu = lambda count: medians.get(("CPU (ms/min)", "keltos", count), float("nan"))  # noqa
    goals = [(f"Idle CPU at {last} windows <= 1.1x at {first}", cpu(last), 1.1 * cpu(first))]
    return lines, goals


def report(bench, settings):
    """Prints the desktop's tables and goals; returns its goals."""
    version = bench.means.version() if bench.means else bench.name
    print()
    print(f"KELTOS bench in {version}: the Wayland suites' headless session with XWayland, "
          f"{len(bench.runs)} runs, {settings['seconds']:g} s per phase, {os.cpu_count()} CPUs")
    print(f"windows: '{WORK}' and '{MAIL}' native Wayland, '{TERMINAL}' X11 through XWayland "
          "(GTK 3 each); Idle native: "
          f"'{WORK}' in front; Idle X11: '{TERMINAL}' in front; Focused: "
          + ("the bar in front, focused by the desktop, and a click in its time box"
             if bench.means.focuses_bar else
             "a click in the bar's time box (the desktop never focuses the unmanaged bar)"))
    print(f"switches: {bench.means.how}")
    lines, goals = figures_table(bench)
    print("\n".join(lines))
    if bench.sway_runs:
        counts = settings["sway_windows"]
        print()
        print(f"sway idle with {' and '.join(map(str, counts))} ordinary windows open "
              f"({len(bench.sway_runs)} runs, {settings['sway_seconds']:g} s per phase): "
              f"'{WORK}' in front; beyond the three windows above, native GTK 3 windows, "
              f"{PER_WORKSPACE} to a workspace from the second on")
        more_lines, more_goals = sway_windows_table(bench)
        print("\n".join(more_lines))
        goals += more_goals
    print()
    verdicts, _ = measure.verdicts(goals, 52)
    print("\n".join(verdicts))
    return goals


def summary(results):
    """The goals of every desktop side by side: measured / limit and the verdict."""
    names = list(results)
    goal_names = []
    for goals in results.values():
        for goal, _, _ in goals or []:
            if goal not in goal_names:
                goal_names.append(goal)
    cell = 28
    lines = [f"{'goal (KELTOS / limit)':<52}" + "".join(f"{n:>{cell}}" for n in names)]
    lines.append("-" * len(lines[0]))
    for goal in goal_names:
        text = f"{goal:<52}"
        for name in names:
            found = [(v, lim) for g, v, lim in results[name] or [] if g == goal]
            if results[name] is None:
                text += f"{'not measured':>{cell}}"
            elif not found:
                text += f"{'-':>{cell}}"
            else:
                v, lim = found[0]
                text += f"{f'{v:.2f} / {lim:.2f} ' + ('met' if v <= lim else 'MISSED'):>{cell}}"
        lines.append(text)
    return lines


# -- main ----------------------------------------------------------------------------------------

def settings_from_environment():
    seconds = float(os.environ.get("BENCH_SECONDS", "20"))
    counts = sorted(int(c) for c in os.environ.get("BENCH_SWAY_WINDOWS", "5,50").split(","))
    if counts[0] < len(WINDOWS) or len(counts) < 2:
        sys.exit(f"bench-wayland: BENCH_SWAY_WINDOWS needs two counts or more, each at least "
                 f"{len(WINDOWS)} (the windows every run has open)")
    return {
        "desktops": [d for d in os.environ.get("BENCH_DESKTOPS", "kwin,gnome,sway").split(",")
                     if d],
        "seconds": seconds,
        "runs": int(os.environ.get("BENCH_RUNS", "3")),
        "switches": int(os.environ.get("BENCH_SWITCHES", "30")),
        "sway_windows": counts,
        "sway_seconds": float(os.environ.get("BENCH_SWAY_SECONDS", str(3 * seconds))),
    }


def gnome_extension_uuid(build):
    """The UUID of the GNOME Shell extension the build made (gnome-shell/UUID/metadata.json)."""
    for path in sorted(glob.glob(os.path.join(build, "gnome-shell", "*", "metadata.json"))):
        with open(path) as f:
            return json.load(f)["uuid"]
    return None


def prepare(build, names):
    """What the suites' sessions take from ctest, set from the build."""
    for path in [os.path.join(build, "keltos"), os.path.join(build, "bench", "bench_probe"),
                 os.path.join(build, "bench", "qt_floor")]:
        if not os.access(path, os.X_OK):
            sys.exit(f"bench-wayland: {path} is missing; build it with 'make linux'")
    if os.geteuid() != 0:
        sys.exit("bench-wayland: run it as root: the sessions run as their own ordinary user, "
                 "as the Wayland suites' do")
    os.environ["KELTOS_BIN"] = os.path.join(build, "keltos")
    os.environ["KELTOS_BUILD_DIR"] = build
    os.environ.setdefault("KELTOS_ARTIFACTS", os.path.join(build, "bench-wayland-artifacts"))
    uuid = gnome_extension_uuid(build)
    if uuid:
        os.environ["KELTOS_GNOME_EXTENSION_UUID"] = uuid
    elif "gnome" in names:
        sys.exit(f"bench-wayland: {build} has no GNOME Shell extension (gnome-shell/*/"
                 "metadata.json); build it with 'make linux'")


def end_on_signals():
    """SIGTERM, SIGHUP and SIGINT (Ctrl-C) end the bench through every `finally` that stops a
    session; another one while it stops is ignored."""
    def ending(number, _):
        for s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            signal.signal(s, signal.SIG_IGN)
        print(f"bench-wayland: ended by {signal.Signals(number).name}; stopping the session",
              file=sys.stderr, flush=True)
        raise SystemExit(128 + number)

    for s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(s, ending)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
    settings = settings_from_environment()
    known = desktops()
    for name in settings["desktops"]:
        if name not in known:
            sys.exit(f"bench-wayland: no desktop named {name!r} (BENCH_DESKTOPS takes "
                     f"{','.join(known)})")
    prepare(build, settings["desktops"])
    end_on_signals()
    runs, switches = settings["runs"], settings["switches"]
    per_run = max(1, -(-switches // runs))
    results = {}
    for name in settings["desktops"]:
        print(f"{name}: starting the session", flush=True)
        try:
            with DesktopBench(name, build, settings) as bench:
                for i in range(runs):
                    print(f"{name}: run {i + 1}/{runs} ({settings['seconds']:g} s a phase: Idle "
                          f"native, Idle X11, Focused, Running; {per_run} switches)", flush=True)
                    bench.run(per_run)
                if name == "sway":
                    for i in range(runs):
                        print(f"sway: windows run {i + 1}/{runs} "
                              f"({'/'.join(map(str, settings['sway_windows']))} windows, "
                              f"{settings['sway_seconds']:g} s a phase)", flush=True)
                        bench.sway_windows(settings["sway_windows"])
                results[name] = report(bench, settings)
        except Exception:  # noqa: BLE001 (the other desktops are still measured)
            print(f"\nbench-wayland: {name} could not be measured:", flush=True)
            traceback.print_exc()
            results[name] = None
    print()
    print(f"KELTOS bench in Wayland sessions: goals by desktop ({runs} runs, "
          f"{settings['seconds']:g} s per phase, {os.cpu_count()} CPUs; logs in "
          f"{os.environ['KELTOS_ARTIFACTS']})")
    print("\n".join(summary(results)))
    missed = sum(not v <= lim for goals in results.values() if goals for _, v, lim in goals)
    failed = [n for n, goals in results.items() if goals is None]
    print(f"goals: {'all met' if not missed else f'{missed} missed'}"
          + (f"; not measured: {', '.join(failed)}" if failed else ""))
    sys.exit(1 if missed or failed else 0)


if __name__ == "__main__":
    main()
