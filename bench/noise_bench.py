#!/usr/bin/env python3
"""Noise benchmark: qz-upload against qz-board on an emulated wire that loses or changes bytes
towards the board (qz-board --noise RATE, one seed a run). Three cases, each over SEEDS runs
of a 1000-line program:

  stream   --noise 1e-4, qz-upload's defaults (--retry 2): no run may end with exit 0 unless
           the board stores the program exactly, and the board must never save or run a
           damaged program (its noise.log says "saved a damaged program" or "ran a ...");
  retry    --noise 1e-5 with --retry 3: how many runs store the program exactly;
  xmodem   --noise 1e-4 with --via xmodem: how many runs store the program exactly, and the
           time over the clean XMODEM time (the median of three runs without noise).

Prints one row a run and a summary a case; the exit status is 1 when a run broke the
safety rule (exit 0 with a wrong program, or a damaged program saved or run).

    noise_bench.py BUILD_DIR [--seeds 20] [--lines 1000] [--baud 115200] [--latency 0.1]
                   [--modes fast] [--cases stream,retry,xmodem]
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from transfer_bench import program_text  # noqa: E402


class NoisyBoard:
    def __init__(self, build, work, latency, rate, seed):
        self.store = tempfile.mkdtemp(prefix="store-", dir=work)
        self.link = os.path.join(work, "tty")
        args = [os.path.join(build, "board", "qz-board"), "--store", self.store, "--link",
                self.link, "--line-speed", "--echo-delay", str(latency)]
        if rate > 0:
            args += ["--noise", str(rate), "--noise-seed", str(seed)]
        self.proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(self.link):
                break
            time.sleep(0.05)

    def stored(self, name):
        try:
            with open(os.path.join(self.store, name), "rb") as f:
                return f.read()
        except FileNotFoundError:
            return b""

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait()


def run(build, work, a, rate, seed, fast, extra):
    board = NoisyBoard(build, work, a.latency, rate, seed)
    settings = os.path.join(work, "empty.inf")
    open(settings, "a").close()
    args = [os.path.join(build, "frontends", "cli", "qz-upload"), "--port", board.link,
            "--baud", str(a.baud), "--device", "micromite", "--settings", settings] + extra
    if fast:
        args.append("--fast")
    args.append(os.path.join(work, "bench.bas"))
    try:
        start = time.monotonic()
        proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        wall = time.monotonic() - start
        log = proc.stdout.decode("latin-1")
        noise = board.stored("noise.log").decode("latin-1").splitlines()
        stored = board.stored("program.bas").decode("latin-1")
    finally:
        board.stop()
    return {
        "exit": proc.returncode,
        "wall": wall,
        "tries": 1 + log.count("trying again"),
        "faults": sum(1 for l in noise if ": lost " in l or ": changed " in l),
        "exact": stored == a.expected,
        "damaged": sum(1 for l in noise if l in ("saved a damaged program",
                                                   "ran a damaged program")),
    }


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--seeds", type=int, default=20)
    ap.add_argument("--lines", type=int, default=1000)
    ap.add_argument("--baud", type=int, default=115200)
    ap.add_argument("--latency", type=float, default=0.1)
    ap.add_argument("--modes", default="fast")
    ap.add_argument("--cases", default="stream,retry,xmodem")
    a = ap.parse_args()
    lines = program_text(a.lines)
    a.expected = "".join(line + "\n" for line in lines)
    cases = {
        "stream": (1e-4, []),
        "retry": (1e-5, ["--retry", "3"]),
        "xmodem": (1e-4, ["--via", "xmodem"]),
    }
    safe = True
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "bench.bas"), "w", newline="") as f:
            f.write("".join(line + "\r\n" for line in lines))
        print("%d-line program at %d baud, echo latency %g ms; %d seeds a case" % (
            a.lines, a.baud, a.latency, a.seeds))
        print("%-7s %-7s %8s %5s %5s %6s %6s %8s %8s" % (
            "case", "mode", "noise", "seed", "exit", "tries", "faults", "exact", "time s"))
        summary = []
        for name in a.cases.split(","):
            rate, extra = cases[name]
            for mode in a.modes.split(","):
                fast = mode == "fast"
                clean = None
                if name == "xmodem":
                    clean = statistics.median(
                        run(a.build, work, a, 0, 0, fast, extra)["wall"] for _ in range(3))
                rows = []
                for seed in range(1, a.seeds + 1):
                    r = run(a.build, work, a, rate, seed, fast, extra)
                    rows.append(r)
                    unsafe = (r["exit"] == 0 and not r["exact"]) or r["damaged"] > 0
                    safe = safe and not unsafe
                    print("%-7s %-7s %8g %5d %5d %6d %6d %8s %8.2f%s" % (
                        name, mode, rate, seed, r["exit"], r["tries"], r["faults"],
                        "yes" if r["exact"] else "no", r["wall"],
                        "  UNSAFE" if unsafe else ""), flush=True)
                exits0 = sum(1 for r in rows if r["exit"] == 0)
                exact = sum(1 for r in rows if r["exact"])
                wrong0 = sum(1 for r in rows if r["exit"] == 0 and not r["exact"])
                damaged = sum(r["damaged"] for r in rows)
                walls = [r["wall"] for r in rows]
                line = ("%-7s %-7s noise %g: exit 0 in %d/%d, stored exactly %d/%d, exit 0 with "
                        "a wrong program %d, damaged program saved or run %d, time median %.2f s "
                        "max %.2f s" % (name, mode, rate, exits0, len(rows), exact, len(rows),
                                        wrong0, damaged, statistics.median(walls), max(walls)))
                if clean:
                    line += ", clean %.2f s: max / clean %.3f" % (clean, max(walls) / clean)
                summary.append(line)
        print()
        for line in summary:
            print(line)
    return 0 if safe else 1


if __name__ == "__main__":
    sys.exit(main())
