"""KELTOS and its reference programs side by side, in one run, under one Xvfb + openbox.

    python3 bench/bench.py BUILD_DIR        (make bench does this)

Environment: BENCH_SECONDS (length of the Idle and of the Running phase, default 20),
BENCH_RUNS (runs, default 3), BENCH_SWITCHES (foreground switches for the docking latency over
all runs, default 30).

Each run starts xclock, the raw-Xlib floor, the Qt floor and keltos one after another and times
each from exec to its window being mapped; puts an ordinary window in front (keltos docks on it);
measures every program over an Idle phase; clicks into keltos's time box, so that the bar is in
front with the focus in the box, and measures a Focused phase from 10.5 s after the click (its
caret rests after 10 s without input); clicks START on keltos and tells the floors to run
(SIGUSR1), brings the window back to the front and, 1.5 s after the click, measures a Running
phase, while keltos's title is sampled every 20 ms from the click on; then switches the
foreground between two windows and times keltos's docking. The table gives the median, min and
max over the runs and each median's ratio to each reference's, then the goals; the exit status
is 1 when one is missed.
"""

import os
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from xsession import XSession, require  # noqa: E402

import measure  # noqa: E402

START_BUTTON = (171, 8)  # the middle of START in the bar, in pixels at 96 DPI
TIME_BOX = (108, 9)  # the middle of the time box
SETTLE = 1.5  # seconds between clicking START and measuring the Running phase
CARET_REST = 10.5  # seconds between clicking into the time box and measuring the Focused phase
FLOORS = ["xlib-floor", "qt-floor"]  # idle until SIGUSR1, then running
THREADS_SHOWN = ["qt-floor", "keltos"]  # wake-ups per thread


def programs(build):
    return [
        ("xclock", [require("xclock"), "-digital", "-update", "1"], "xclock"),
        ("xlib-floor", [os.path.join(build, "bench", "xlib_floor")], "floor-xlib"),
        ("qt-floor", [os.path.join(build, "bench", "qt_floor")], "floor-qt"),
        ("keltos", [os.path.join(build, "keltos")], "KELTOS - "),
    ]


REFERENCES = ["xclock", "qt-floor", "xlib-floor"]


class Run(measure.Figures):
    def __init__(self, session, build, seconds, switches):
        super().__init__()
        self.s = session
        self.build = build
        self.seconds = seconds
        self.switches = switches
        self.procs = {}
        self.windows = {}

    def probe(self, *args, **kw):
        return [os.path.join(self.build, "bench", "bench_probe"), *map(str, args)]

    def start_programs(self):
        listed = programs(self.build)
        watcher = subprocess.Popen(self.probe("maps", *[p for _, _, p in listed]),
                                   env=self.s.env(), stdout=subprocess.PIPE, text=True)
        if watcher.stdout.readline().strip() != "ready":
            raise RuntimeError("bench_probe maps did not start")
        for name, argv, prefix in listed:
            started = time.monotonic()
            self.procs[name] = subprocess.Popen(argv, env=self.s.env(),
                                                stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL)
            line = watcher.stdout.readline().split("\t")
            if len(line) != 3 or line[0] != prefix:
                raise RuntimeError(f"{name} was not seen mapped: {line}")
            self.put("start-up to mapped (ms)", name, (float(line[1]) - started) * 1000)
            self.windows[name] = int(line[2])
        watcher.wait(10)

    def memory(self, phase):
        self.record_memory(phase, self.procs)

    def measure(self, phase, during=None):
        return self.measure_phase(phase, self.procs, self.seconds, THREADS_SHOWN, during)

    def go(self):
        self.start_programs()
        time.sleep(2)
        self.memory("start-up")
        work = self.s.open_window("Work - notes.txt", 200, 300, 800, 500)
        other = self.s.open_window("Mail", 100, 150, 700, 400)
        work.activate()
        time.sleep(2)  # keltos docks on the window in front
        self.measure("Idle")
        click = subprocess.run(self.probe("click", self.windows["keltos"], *TIME_BOX),
                               env=self.s.env(), timeout=10)
        if click.returncode != 0:
            raise RuntimeError("could not click into keltos's time box")
        time.sleep(CARET_REST)
        self.measure("Focused")
        # The readout is sampled from START on; the Running figures are taken once the click
        # and the switch back to the window in front have settled.
        readout = subprocess.Popen(
            self.probe("readout", self.windows["keltos"], *START_BUTTON,
                       self.seconds + SETTLE + 0.5, work.id),
            env=self.s.env(), stdout=subprocess.PIPE, text=True)
        for name in FLOORS:
            self.procs[name].send_signal(signal.SIGUSR1)
        time.sleep(SETTLE)
        self.measure("Running")
        out, _ = readout.communicate(timeout=30)
        self.record_readout(out, readout.returncode)
        dock = subprocess.run(
            self.probe("dock", self.windows["keltos"], other.id, work.id, self.switches),
            env=self.s.env(), capture_output=True, text=True, timeout=10 + 5 * self.switches)
        latencies = [float(v) for v in dock.stdout.split() if v != "timeout"]
        if dock.returncode != 0 or len(latencies) != self.switches:
            raise RuntimeError(f"docking timed out: {dock.stdout!r}")
        self.latencies = latencies
        for window in (work, other):
            window.close()

    def stop(self):
        for proc in self.procs.values():
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()


def table(runs, latencies):
    lines, medians = measure.table(runs, [name for name, _, _ in programs("")], REFERENCES)
    lines.append(measure.spread("docking latency (ms)", "keltos", latencies,
                                f"over {len(latencies)} switches"))
    return lines, medians


def goals(medians, latencies):
    m = lambda figure, name: medians[(figure, name)]  # noqa: E731
    return measure.verdicts([
        ("Idle CPU <= xclock's", m("CPU Idle (ms/min)", "keltos"),
         m("CPU Idle (ms/min)", "xclock")),
        ("Idle wake-ups <= Qt floor's + 1/s", m("wake-ups Idle (/s)", "keltos"),
         m("wake-ups Idle (/s)", "qt-floor") + 1),
        ("Focused CPU <= 1.5x xclock's", m("CPU Focused (ms/min)", "keltos"),
         1.5 * m("CPU Focused (ms/min)", "xclock")),
        ("Running CPU <= Qt floor's", m("CPU Running (ms/min)", "keltos"),
         m("CPU Running (ms/min)", "qt-floor")),
        ("Running wake-ups <= Qt floor's", m("wake-ups Running (/s)", "keltos"),
         m("wake-ups Running (/s)", "qt-floor")),
        ("USS <= 1.1x Qt floor's (Running)", m("USS Running (MB)", "keltos"),
         1.1 * m("USS Running (MB)", "qt-floor")),
        ("start-up <= 1.5x Qt floor's", m("start-up to mapped (ms)", "keltos"),
         1.5 * m("start-up to mapped (ms)", "qt-floor")),
        ("readout lag <= 250 ms", m("readout lag, max (ms)", "keltos"), 250),
        ("readout never ahead", m("readout ahead (samples)", "keltos"), 0),
        ("docking latency <= 1100 ms", max(latencies), 1100),
    ])


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/linux")
    seconds = float(os.environ.get("BENCH_SECONDS", "20"))
    runs_wanted = int(os.environ.get("BENCH_RUNS", "3"))
    switches = int(os.environ.get("BENCH_SWITCHES", "30"))
    per_run = max(1, -(-switches // runs_wanted))
    for name, argv, _ in programs(build):
        if not os.access(argv[0], os.X_OK):
            sys.exit(f"bench: {argv[0]} is missing; build it with 'make linux'")
    runs, latencies = [], []
    with XSession() as session:
        for i in range(runs_wanted):
            print(f"run {i + 1}/{runs_wanted} ({seconds:g} s a phase: Idle, Focused, Running; "
                  f"{per_run} switches)", flush=True)
            run = Run(session, build, seconds, per_run)
            try:
                run.go()
            finally:
                run.stop()
            runs.append(run)
            latencies += run.latencies
    lines, medians = table(runs, latencies)
    print()
    print(f"KELTOS bench: {runs_wanted} runs, {seconds:g} s per phase, one Xvfb + openbox, "
          f"{os.cpu_count()} CPUs")
    print("\n".join(lines))
    print()
    verdicts, missed = goals(medians, latencies)
    print("\n".join(verdicts))
    sys.exit(1 if missed else 0)


if __name__ == "__main__":
    main()
