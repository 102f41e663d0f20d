#!/usr/bin/python3
"""Benchmarks of qvtpx0xtweaker against reference programs, measured in
one session on one machine, runs interleaved (A B A B ...):

- start-up to the end of the first frame, and peak memory, against a bare
  QMainWindow and against the honest reference, a bare window that shows
  only the logo from the same resource;
- warm read and write round trips against Qt's own FTP layer (a bare
  QNetworkAccessManager get or put of the same URL);
- the first read of a fresh process against the next one;
- the window built with Qt 6 against the same window built with Qt 5: start-up
  to the first frame and peak memory;
- qvtpx0xtweaker-cli reading 100 simulated modules that each answer every
  command 20 ms late, against reading one, and against reading the 100
  one after another (--jobs 1), with its peak memory;
- qvtpx0xtweaker-cli reading one such module, start to end, against one
  curl fetch of the same file;
- its CPU time per module reading 1,000 modules against reading 100, and
  100 modules with its default --jobs against --jobs 100;
- a building at once: find on a /24 of 20 modules where the other
  addresses do not exist, against the goal of 5 s; a write of 100 modules
  with --backup and reading back, against a read of one.

The modules are simulated by bench/modules.py, one process for a whole
building, checked first: curl and Python's ftplib read 100 of them against
one, and the simulator's own CPU while the tool reads 100.

Prints medians with their spread (25th to 75th percentile) and ratios, and
writes bench/RESULTS.md above its hand-written notes.

Usage: bench/run.py [--runs N]   (root: it runs in a network namespace;
curl, which scripts/install-deps.sh installs, is the last reference)
"""
import argparse
import os
import pathlib
import platform
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build-bench"
GOALS = {"start-up": 1.15, "memory": 1.2, "read": 0.8, "write": 0.8, "first read": 1.2,
         "100 modules": 1.2, "one after another": 1 / 20, "curl": 0.85, "cpu at 1000": 1.0, "default jobs": 1.1,
         "find": 5e9, "write 100": 2.0, "simulator": 1.1}
NOTES = "## Notes"
PROGRAMS = ["bench_startup", "bench_startup_logo", "bench_startup_bare", "bench_transfer", "qvtpx0xtweaker-cli"]
CLI = BUILD / "cli" / "qvtpx0xtweaker-cli"
MODULES = [f"127.0.1.{n}" for n in range(1, 101)]
# A thousand modules, all served by one server listening on every loopback address.
THOUSAND = [f"127.1.{n // 250}.{n % 250 + 1}" for n in range(1000)]
LAN = "198.18.0"  # a /24 of the bench's own, on a veth pair whose far end has no address


BUILD_QT6 = ROOT / "build-bench-qt6"


def build():
    for build, qt, programs in ((BUILD, "5", PROGRAMS), (BUILD_QT6, "6", PROGRAMS[:1])):
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", f"-DQVTPX_QT={qt}",
                        "-DBUILD_TESTING=OFF", "-DQVTPX_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "-j", str(os.cpu_count()), "--target"] + programs,
                       check=True, stdout=subprocess.DEVNULL)


def startup(program, build=BUILD):
    """Nanoseconds from fork to the end of the first frame, and the peak RSS
    in KiB until then."""
    started = time.monotonic_ns()
    result = subprocess.run([build / "bench" / program], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            timeout=30, check=True, text=True)
    shown, peak = map(int, result.stdout.split())
    return shown - started, peak


def transfer(*arguments):
    """The lines of bench_transfer, each a list of nanoseconds."""
    result = subprocess.run([BUILD / "bench" / "bench_transfer", *map(str, arguments)], check=True,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return [[int(value) for value in line.split()] for line in result.stdout.splitlines()]


def module_file(lines):
    base = [b"[global]", b"#0=disable;1=night;2=day;3=watchdog only", b"arm=3", b"#0%-100%",
            b"blighlvl=80", b"#in seconds. 0=always ON", b"blightout=120"]
    base += [b"#0=full access;1=read-only;other=forced to 1", b"backlightmenu=0"] * 4
    text = (base * (lines // len(base) + 1))[:lines]
    return b"\n".join(text) + b"\n"


class Modules:
    """Simulated modules (bench/modules.py) on addresses of this namespace,
    each serving FOLDER/ADDRESS if it exists, else FOLDER."""

    def __init__(self, folder, addresses=("127.0.0.1",), delay=0):
        self.folder = pathlib.Path(folder)
        self.process = subprocess.Popen([sys.executable, ROOT / "bench" / "modules.py", folder, *addresses,
                                         "--reply-delay", str(delay)], stdout=subprocess.PIPE)
        if self.process.stdout.readline().strip() != b"ready":
            sys.exit("the simulated modules did not start")

    def serve(self, text):
        (self.folder / "vtpx_domo").write_bytes(text)

    def cpu(self):
        """Seconds of CPU the simulator has used so far."""
        fields = (pathlib.Path("/proc") / str(self.process.pid) / "stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def stop(self):
        self.process.kill()
        self.process.wait()


def ms(ns):
    return f"{ns / 1e6:.2f} ms"


def spread(values, unit=ms):
    """The median, with the 25th and 75th percentiles."""
    quartiles = statistics.quantiles(values, n=4)
    return f"{unit(statistics.median(values))} ({unit(quartiles[0])}–{unit(quartiles[2])})"


def paired(tool, reference):
    """The median of the run-by-run ratios, each tool run against the
    reference run next to it, with their spread: steadier than the ratio of
    the medians when the machine changes speed during a session."""
    return spread([t / r for t, r in zip(tool, reference)], unit=lambda ratio: f"{ratio:.2f}")


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def measure_startup(runs):
    samples = {program: [] for program in PROGRAMS[:3]}
    for _ in range(runs):
        for program in samples:
            samples[program].append(startup(program))
    times = {program: [t for t, _ in values] for program, values in samples.items()}
    memory = {program: [r for _, r in values] for program, values in samples.items()}
    median = {program: statistics.median(values) for program, values in times.items()}
    rss = {program: statistics.median(values) for program, values in memory.items()}
    tool, logo, bare = PROGRAMS[:3]
    return [
        ("start-up to the first frame", spread(times[tool]), "logo-only window " + spread(times[logo]),
         median[tool] / median[logo], paired(times[tool], times[logo]), GOALS["start-up"]),
        ("start-up to the first frame", spread(times[tool]), "bare QMainWindow " + spread(times[bare]),
         median[tool] / median[bare], paired(times[tool], times[bare]), None),
        ("peak resident memory to the first frame", spread(memory[tool], mib), "logo-only window " + spread(memory[logo], mib),
         rss[tool] / rss[logo], paired(memory[tool], memory[logo]), GOALS["memory"]),
        ("peak resident memory to the first frame", spread(memory[tool], mib), "bare QMainWindow " + spread(memory[bare], mib),
         rss[tool] / rss[bare], paired(memory[tool], memory[bare]), None),
    ]


def measure_qt6(runs):
    qt5, qt6 = [], []
    for _ in range(runs):
        qt5.append(startup("bench_startup"))
        qt6.append(startup("bench_startup", BUILD_QT6))
    rows = []
    for index, name, unit in ((0, "Qt 6 build: start-up to the first frame", ms),
                              (1, "Qt 6 build: peak resident memory to the first frame", mib)):
        six = [sample[index] for sample in qt6]
        five = [sample[index] for sample in qt5]
        rows.append((name, spread(six, unit), "Qt 5 build " + spread(five, unit),
                     statistics.median(six) / statistics.median(five), paired(six, five), None))
    return rows


def measure_transfers(runs):
    rows = []
    for operation, reference in (("read", "Qt's FTP get"), ("write", "Qt's FTP put")):
        pairs = transfer(operation, runs)
        tool = [p[0] for p in pairs]
        bare = [p[1] for p in pairs]
        rows.append((f"warm {operation} round trip", spread(tool), f"{reference} " + spread(bare),
                     statistics.median(tool) / statistics.median(bare), paired(tool, bare), GOALS[operation]))
    firsts = [transfer("first-read")[0] for _ in range(runs)]
    first = [f for f, _ in firsts]
    later = [l for _, l in firsts]
    rows.append(("first read of a fresh process", spread(first), "the next read " + spread(later),
                 statistics.median(first) / statistics.median(later), paired(first, later), GOALS["first read"]))
    return rows


def timed(command):
    """Nanoseconds from fork to exit, and the peak RSS in KiB, of a command
    that must succeed."""
    started = time.monotonic_ns()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.monotonic_ns() - started
    if status != 0:
        sys.exit(f"failed: {' '.join(map(str, command))}")
    return elapsed, usage.ru_maxrss


def cpu(command):
    """Seconds of CPU (user and system) of a command that must succeed."""
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit(f"failed: {' '.join(map(str, command))}")
    return usage.ru_utime + usage.ru_stime


def ratio_row(name, tool, reference, label, goal):
    return (name, spread(tool), f"{label} " + spread(reference), statistics.median(tool) / statistics.median(reference),
            paired(tool, reference), goal)


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def measure_simulator(runs, slow):
    """What the simulated building itself allows: clients other than the
    tool reading 100 modules against one, and the simulator's own CPU."""
    curl = lambda addresses: ["sh", "-c", 'printf "%s\\n" "$@" | xargs -P100 -I@ curl -s -o /dev/null ftp://@/vtpx_domo',
                              "sh", *addresses]
    pool = lambda addresses: [sys.executable, ROOT / "bench" / "ftplibpool.py", *addresses]
    rows = []
    for name, command in (("xargs -P100 curl", curl), ("ftplib pool of 100 threads", pool)):
        one, hundred, used = [], [], []
        for _ in range(runs):
            one.append(timed(command(MODULES[:1]))[0])
            started = cpu_of_children()
            hundred.append(timed(command(MODULES))[0])
            used.append(cpu_of_children() - started)
        rows.append(ratio_row(f"simulator check: {name}, read of 100 modules (the client's own CPU: "
                              f"{statistics.median(used) * 1e3:.0f} ms)", hundred, one, "read of one",
                              GOALS["simulator"]))
    share = []
    for _ in range(runs):
        before = slow.cpu()
        elapsed = timed([CLI, "--jobs", "100", "read", *MODULES])[0]
        share.append((slow.cpu() - before) / (elapsed / 1e9))
    rows.append(("simulator check: its CPU during the tool's read of 100 modules",
                 spread(share, lambda x: f"{x:.0%} of a core"), "—", statistics.median(share), "—", None))
    return rows


def measure_cli(runs, folder):
    """The console tool on many slow modules: against one, one after another,
    against curl."""
    slow = Modules(folder, MODULES, 0.02)
    try:
        rows = measure_simulator(runs, slow)
        one, all_, sequential, default, curl = [], [], [], [], []
        for _ in range(runs):
            one.append(timed([CLI, "read", MODULES[0]]))
            curl.append(timed(["curl", "-s", "-o", "/dev/null", f"ftp://{MODULES[0]}/vtpx_domo"]))
            all_.append(timed([CLI, "--jobs", "100", "read", *MODULES]))
            if len(sequential) < max(5, runs // 3):  # 100 reads of 150 ms each
                sequential.append(timed([CLI, "--jobs", "1", "read", *MODULES]))
            default.append(timed([CLI, "read", *MODULES]))
    finally:
        slow.stop()
    one_t, all_t, seq_t, default_t, curl_t = ([t for t, _ in values] for values in (one, all_, sequential, default, curl))
    rows += [
        ratio_row("cli: read of 100 modules, default --jobs", default_t, all_t, "--jobs 100", GOALS["default jobs"]),
        ratio_row("cli: read of 100 modules, 20 ms a reply (--jobs 100)", all_t, one_t, "read of one",
                  GOALS["100 modules"]),
        ratio_row("cli: read of 100 modules, 20 ms a reply (--jobs 100)", all_t, seq_t,
                  "one after another (--jobs 1)", GOALS["one after another"]),
        ("cli: peak resident memory, read of 100 modules", spread([r for _, r in all_], mib),
         "read of one " + spread([r for _, r in one], mib),
         statistics.median(r for _, r in all_) / statistics.median(r for _, r in one),
         paired([r for _, r in all_], [r for _, r in one]), None),
        ratio_row("cli: read of one module, 20 ms a reply, start to exit", one_t, curl_t, "curl fetch",
                  GOALS["curl"]),
    ]
    return rows


def measure_cpu(runs, folder):
    """CPU per module, 1,000 modules against 100, a hundred at a time, one
    simulator answering on every address."""
    server = Modules(folder, ["0.0.0.0"], 0.02)
    try:
        hundred, thousand = [], []
        for _ in range(max(5, runs // 3)):
            hundred.append(cpu([CLI, "--jobs", "100", "read", *THOUSAND[:100]]) / 100)
            thousand.append(cpu([CLI, "--jobs", "100", "read", *THOUSAND]) / 1000)
    finally:
        server.stop()
    per = lambda seconds: f"{seconds * 1e3:.3f} ms"
    return [("cli: CPU per module, 1,000 modules, 100 at a time", spread(thousand, per), "100 at once " + spread(hundred, per),
             statistics.median(thousand) / statistics.median(hundred), paired(thousand, hundred), GOALS["cpu at 1000"])]


def measure_building(runs, folder):
    """find on a /24 of 20 modules and 234 addresses that do not exist;
    write of 100 modules with --backup against a read of one."""
    for command in ("link add qvtpx-lan type veth peer name qvtpx-nobody", "link set qvtpx-lan up",
                    "link set qvtpx-nobody up", f"addr add {LAN}.1/24 dev qvtpx-lan"):
        subprocess.run(["ip", *command.split()], check=True)
    lan = [f"{LAN}.{n}" for n in range(10, 30)]
    for address in lan:
        subprocess.run(["ip", "addr", "add", f"{address}/24", "dev", "qvtpx-lan"], check=True)
    for address in MODULES + lan:  # each module a file of its own: every write is checked by reading back
        (pathlib.Path(folder) / address).mkdir()
        (pathlib.Path(folder) / address / "vtpx_domo").write_bytes(module_file(15))
    modules = [Modules(folder, MODULES, 0.02), Modules(folder, lan)]
    backup = pathlib.Path(folder) / "backup"
    try:
        found, written, one = [], [], []
        for run in range(max(5, runs // 3)):
            found.append(timed([CLI, "find", f"{LAN}.0/24"])[0])
            written.append(timed([CLI, "write", "--jobs", "100", "--backup", backup, "--set", f"arm={run % 4}",
                                  *MODULES])[0])
            one.append(timed([CLI, "read", MODULES[0]])[0])
    finally:
        for module in modules:
            module.stop()
    seconds = lambda ns: f"{ns / 1e9:.2f} s"
    return [("cli: find on a /24, 20 modules", spread(found, seconds), "the goal, 5 s",
             statistics.median(found) / GOALS["find"], "—", 1.0),
            ratio_row("cli: write of 100 modules, --backup, read back", written, one, "read of one",
                      GOALS["write 100"])]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=31)
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    options = parser.parse_args()
    if not options.inside:
        build()
        os.execvp("unshare", ["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$0" "$@"',
                              sys.executable, __file__, "--inside", "--runs", str(options.runs)])
    os.environ["QT_QPA_PLATFORM"] = "offscreen"
    load = os.getloadavg()[0]
    rows = measure_startup(options.runs)
    rows += measure_qt6(options.runs)
    with tempfile.TemporaryDirectory() as folder:
        module = Modules(folder)
        try:
            module.serve(module_file(15))
            rows += measure_transfers(options.runs)
            rows += measure_cli(options.runs, folder)
        finally:
            module.stop()
    with tempfile.TemporaryDirectory() as folder:
        (pathlib.Path(folder) / "vtpx_domo").write_bytes(module_file(15))
        rows += measure_cpu(options.runs, folder)
        rows += measure_building(options.runs, folder)
    report(rows, options.runs, (load, os.getloadavg()[0]))


def report(rows, runs, load):
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
               platform.processor())
    qt = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libqt5core5a"], stdout=subprocess.PIPE,
                        text=True).stdout
    lines = [f"Machine: {cpu}, {os.cpu_count()} cores, {platform.platform()}; Qt {qt}; "
             f"offscreen platform; modules: bench/modules.py on loopback in a network namespace; "
             f"load average {load[0]:.2f} before, {load[1]:.2f} after.",
             f"Medians of {runs} interleaved runs each, with the 25th to 75th percentiles in brackets; "
             "the ratio is that of the medians, the goal is checked on it; the paired ratio is the median of "
             "the run-by-run ratios.", "",
             "| measure | qvtpx0xtweaker | reference | ratio | paired ratio | goal |", "|---|---|---|---|---|---|"]
    for name, value, reference, ratio, pairs, goal in rows:
        verdict = "" if goal is None else (f"≤ {goal}" + (" (met)" if ratio <= goal else " (**missed**)"))
        lines.append(f"| {name} | {value} | {reference} | {ratio:.2f} | {pairs} | {verdict or '—'} |")
    text = "\n".join(lines) + "\n"
    print(text)
    # The notes below the figures are written by hand and kept.
    results = ROOT / "bench" / "RESULTS.md"
    previous = results.read_text() if results.exists() else ""
    notes = previous[previous.find(NOTES):] if NOTES in previous else NOTES + "\n"
    results.write_text("# Benchmark results\n\nFigures written by `bench/run.py`.\n\n" + text + "\n" + notes)


if __name__ == "__main__":
    main()
