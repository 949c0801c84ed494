"""What the benches measure of a running program, and how they print it: shared by bench.py (one
Xvfb + openbox) and bench_wayland.py (the Wayland sessions of the test suites).

A program is measured from /proc, whoever runs it: CPU time over all its threads from the
scheduler's counters (schedstat), wake-ups as voluntary context switches over all its threads,
USS and RSS from smaps_rollup. A phase reads the counters of every program before and after
sleeping for its length.
"""

import glob
import os
import statistics
import time


def tasks(pid):
    return glob.glob(f"/proc/{pid}/task/*")


def cpu_seconds(pid):
    """CPU time of all threads, from the scheduler's nanosecond counters."""
    total = 0
    for task in tasks(pid):
        try:
            with open(os.path.join(task, "schedstat")) as f:
                total += int(f.read().split()[0])
        except OSError:
            pass
    return total / 1e9


def switches_by_thread(pid):
    """Voluntary context switches (sleeps, so wake-ups) of each thread, by the thread's name."""
    counts = {}
    for task in tasks(pid):
        try:
            with open(os.path.join(task, "comm")) as f:
                name = f.read().strip()
            with open(os.path.join(task, "status")) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        counts[name] = counts.get(name, 0) + int(line.split()[1])
        except OSError:
            pass
    return counts


def voluntary_switches(pid):
    return sum(switches_by_thread(pid).values())


def memory_mb(pid):
    """(USS, RSS) in MB from smaps_rollup."""
    fields = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[0].endswith(":"):
                fields[parts[0][:-1]] = int(parts[1])
    uss = fields.get("Private_Clean", 0) + fields.get("Private_Dirty", 0)
    return uss / 1024, fields.get("Rss", 0) / 1024


class Figures:
    """One run's figures: (figure, program) -> value."""

    def __init__(self):
        self.figures = {}

    def put(self, figure, program, value):
        self.figures[(figure, program)] = value

    def record_readout(self, out, returncode):
        """The readout probe's lag figures from its output ("name value" pairs)."""
        fields = out.split()
        values = dict(zip(fields[0::2], fields[1::2]))
        if returncode != 0 or "lag_max_ms" not in values:
            raise RuntimeError(f"the readout probe failed: {out!r}")
        self.put("readout lag, median (ms)", "keltos", float(values["lag_median_ms"]))
        self.put("readout lag, max (ms)", "keltos", float(values["lag_max_ms"]))
        self.put("readout ahead (samples)", "keltos", float(values["ahead"]))

    def record_memory(self, phase, procs):
        """USS and RSS of every program in `procs` (name -> Popen)."""
        for name, proc in procs.items():
            uss, rss = memory_mb(proc.pid)
            self.put(f"USS {phase} (MB)", name, uss)
            self.put(f"RSS {phase} (MB)", name, rss)

    def measure_phase(self, phase, procs, seconds, threads_shown=(), during=None, memory=True):
        """CPU per minute and wake-ups per second of every program in `procs` (name -> Popen)
        over `seconds`, each thread's wake-ups for the programs in `threads_shown`, then (with
        `memory`) their USS and RSS. `during` runs at the start of the phase; what it returns is
        returned. A program that ends during the phase fails it."""
        before = {n: (cpu_seconds(p.pid), voluntary_switches(p.pid)) for n, p in procs.items()}
        threads = {n: switches_by_thread(procs[n].pid) for n in threads_shown}
        t0 = time.monotonic()
        extra = during() if during else None
        time.sleep(max(0.0, seconds - (time.monotonic() - t0)))
        wall = time.monotonic() - t0
        for name, proc in procs.items():
            if proc.poll() is not None:
                raise RuntimeError(f"{name} ended during the {phase} phase")
            cpu, switches = cpu_seconds(proc.pid), voluntary_switches(proc.pid)
            self.put(f"CPU {phase} (ms/min)", name, (cpu - before[name][0]) * 1000 * 60 / wall)
            self.put(f"wake-ups {phase} (/s)", name, (switches - before[name][1]) / wall)
        # Where the wake-ups come from: each thread of the Qt programs (the main thread under
        # the program's own name; Qt's X event reader is QXcbEventQueue).
        for name in threads_shown:
            for thread, count in switches_by_thread(procs[name].pid).items():
                self.put(f"  {phase}: {thread[:12]}", name,
                         (count - threads[name].get(thread, 0)) / wall)
        if memory:
            self.record_memory(phase, procs)
        return extra


def table(runs, names, references, width=26):
    """The figures of `runs` (Figures) for the programs `names`, in the order first measured:
    the median, min and max over the runs and each median's ratio to each reference's. Returns
    the lines and the medians, (figure, program) -> median."""
    figures = []
    for run in runs:
        for figure, _ in run.figures:
            if figure not in figures:
                figures.append(figure)
    header = (f"{'figure':<{width}}{'program':<12}{'median':>9}{'min':>9}{'max':>9}"
              + "".join(f"{'/' + r:>12}" for r in references))
    lines = [header, "-" * len(header)]
    medians = {}
    for figure in figures:
        for name in names:
            values = [r.figures[(figure, name)] for r in runs if (figure, name) in r.figures]
            if values:
                medians[(figure, name)] = statistics.median(values)
        for name in names:
            if (figure, name) not in medians:
                continue
            values = [r.figures[(figure, name)] for r in runs if (figure, name) in r.figures]
            m = medians[(figure, name)]
            ratios = ""
            for ref in references:
                base = medians.get((figure, ref))
                ratios += (f"{m / base:>11.2f}x" if base and ref != name else f"{'-':>12}")
            lines.append(f"{figure:<{width}}{name:<12}{m:>9.2f}{min(values):>9.2f}"
                         f"{max(values):>9.2f}{ratios}")
    return lines, medians


def spread(figure, program, values, note, width=26):
    """One line of median, min and max of `values` with a note after them."""
    if not values:
        return f"{figure:<{width}}{program:<12}{'-':>9}{'-':>9}{'-':>9}   {note}"
    return (f"{figure:<{width}}{program:<12}{statistics.median(values):>9.1f}"
            f"{min(values):>9.1f}{max(values):>9.1f}   {note}")


def verdicts(rows, width=38):
    """The goals (name, measured, limit), each met when measured <= limit, as lines, and how
    many were missed."""
    lines = [f"{'goal':<{width}}{'measured':>10}{'limit':>10}  verdict"]
    missed = 0
    for name, value, limit in rows:
        missed += not value <= limit
        lines.append(f"{name:<{width}}{value:>10.2f}{limit:>10.2f}  "
                     f"{'met' if value <= limit else 'MISSED'}")
    lines.append(f"goals: {'all met' if not missed else f'{missed} missed'}")
    return lines, missed
