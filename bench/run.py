#!/usr/bin/python3
"""Benchmarks of qvtpx0xtweaker against reference programs measured in the
same session on the same machine: start-up against a bare QMainWindow,
read and write round trips against a bare QNetworkAccessManager get/put and
curl, and the reader's cost per line. Prints a table of medians and ratios
and writes bench/RESULTS.md.

Usage: bench/run.py [--runs N]   (root: it runs in a network namespace)
"""
import argparse
import os
import pathlib
import platform
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
BUILD = ROOT / "build-bench"
GOALS = {"start-up": 1.15, "read": 1.10, "write": 1.10}
NOTES = "## Why a ratio is above its goal"


def build():
    subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                    "-DBUILD_TESTING=OFF", "-DQVTPX_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "-j", str(os.cpu_count()), "--target",
                    "bench_startup", "bench_startup_bare", "bench_transfer"],
                   check=True, stdout=subprocess.DEVNULL)


def startup(program):
    """Nanoseconds from fork to the idle event loop, and peak RSS in KiB."""
    started = time.monotonic_ns()
    child = subprocess.Popen([BUILD / "bench" / program], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    shown = int(child.stdout.read())
    _, status, usage = os.wait4(child.pid, 0)
    child.stdout.close()
    if status != 0:
        sys.exit(f"{program} failed")
    return shown - started, usage.ru_maxrss


def in_process(mode, runs):
    result = subprocess.run([BUILD / "bench" / "bench_transfer", mode, str(runs)], check=True,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return [int(line) for line in result.stdout.split()]


def curl(arguments, runs):
    times = []
    for _ in range(runs):
        started = time.monotonic_ns()
        subprocess.run(["curl", "-s", "-S"] + arguments, check=True, stdout=subprocess.DEVNULL)
        times.append(time.monotonic_ns() - started)
    return times


def module_file(lines):
    base = [b"[global]", b"#0=disable;1=night;2=day;3=watchdog only", b"arm=3", b"#0%-100%",
            b"blighlvl=80", b"#in seconds. 0=always ON", b"blightout=120"]
    base += [b"#0=full access;1=read-only;other=forced to 1", b"backlightmenu=0"] * 4
    text = (base * (lines // len(base) + 1))[:lines]
    return b"\n".join(text) + b"\n"


class Module:
    """The project's FTP server on 127.0.0.1 of this namespace."""

    def __init__(self, folder):
        self.folder = pathlib.Path(folder)
        self.process = subprocess.Popen([ROOT / "tools" / "ftpserver.py", folder], stdout=subprocess.PIPE)
        if self.process.stdout.readline().strip() != b"ready":
            sys.exit("the FTP server did not start")

    def serve(self, text):
        (self.folder / "vtpx_domo").write_bytes(text)

    def stop(self):
        self.process.kill()
        self.process.wait()


def ms(ns):
    return f"{ns / 1e6:.2f} ms"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    options = parser.parse_args()
    if not options.inside:
        build()
        os.execvp("unshare", ["unshare", "-n", "sh", "-c", 'ip link set lo up && exec "$0" "$@"',
                              sys.executable, __file__, "--inside", "--runs", str(options.runs)])
    os.environ["QT_QPA_PLATFORM"] = "offscreen"
    runs = options.runs
    rows = []

    tool, bare = [], []
    for _ in range(runs):  # interleaved, so that both see the same machine
        tool.append(startup("bench_startup"))
        bare.append(startup("bench_startup_bare"))
    median_tool = statistics.median(t for t, _ in tool)
    median_bare = statistics.median(t for t, _ in bare)
    rows.append(("start-up to idle window", ms(median_tool), "bare QMainWindow " + ms(median_bare),
                 median_tool / median_bare, GOALS["start-up"]))
    rss_tool = max(r for _, r in tool)
    rss_bare = max(r for _, r in bare)
    rows.append(("peak resident memory", f"{rss_tool / 1024:.1f} MiB", f"bare QMainWindow {rss_bare / 1024:.1f} MiB",
                 rss_tool / rss_bare, GOALS["start-up"]))

    with tempfile.TemporaryDirectory() as folder:
        module = Module(folder)
        try:
            module.serve(module_file(15))
            url = "ftp://127.0.0.1/vtpx_domo"
            read_tool = statistics.median(in_process("tool-read", runs))
            read_bare = statistics.median(in_process("bare-get", runs))
            read_curl = statistics.median(curl([url, "-o", "/dev/null"], runs))
            rows.append(("read round trip", ms(read_tool), "bare get " + ms(read_bare),
                         read_tool / read_bare, GOALS["read"]))
            rows.append(("read round trip", ms(read_tool), "curl (whole process) " + ms(read_curl),
                         read_tool / read_curl, None))
            write_tool = statistics.median(in_process("tool-write", runs))
            write_bare = statistics.median(in_process("bare-put", runs))
            upload = pathlib.Path(folder) / "upload"
            upload.write_bytes(module_file(15))
            write_curl = statistics.median(curl(["-T", str(upload), url], runs))
            rows.append(("write round trip", ms(write_tool), "bare put " + ms(write_bare),
                         write_tool / write_bare, GOALS["write"]))
            rows.append(("write round trip", ms(write_tool), "curl -T (whole process) " + ms(write_curl),
                         write_tool / write_curl, None))
            growth = []
            for lines in (15, 1000, 100000):
                module.serve(module_file(lines))
                growth.append((lines, statistics.median(in_process("tool-read", max(5, runs // 3)))))
        finally:
            module.stop()

    report(rows, growth, runs)


def report(rows, growth, runs):
    cpu = next((line.split(":", 1)[1].strip() for line in open("/proc/cpuinfo") if line.startswith("model name")),
               platform.processor())
    qt = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libqt5core5a"], stdout=subprocess.PIPE,
                        text=True).stdout
    lines = [f"Machine: {cpu}, {os.cpu_count()} cores, {platform.platform()}; Qt {qt}; "
             f"offscreen platform; module: tools/ftpserver.py on loopback in a network namespace.",
             f"Medians of {runs} runs each, measured in the same session.", "",
             "| measure | qvtpx0xtweaker | reference | ratio | goal |", "|---|---|---|---|---|"]
    for name, value, reference, ratio, goal in rows:
        verdict = "" if goal is None else (f"≤ {goal}" + (" (met)" if ratio <= goal else " (**missed**)"))
        lines.append(f"| {name} | {value} | {reference} | {ratio:.2f} | {verdict or 'floor'} |")
    lines += ["", "Read round trip by file size (the reader's cost per line):", "",
              "| lines | read round trip | per line |", "|---|---|---|"]
    for count, median in growth:
        lines.append(f"| {count} | {ms(median)} | {median / count / 1000:.2f} µs |")
    text = "\n".join(lines) + "\n"
    print(text)
    # The explanations below the figures are written by hand and kept.
    results = ROOT / "bench" / "RESULTS.md"
    previous = results.read_text() if results.exists() else ""
    notes = previous[previous.find(NOTES):] if NOTES in previous else NOTES + "\n"
    results.write_text("# Benchmark results\n\nFigures written by `bench/run.py`.\n\n" + text + "\n" + notes)


if __name__ == "__main__":
    main()
