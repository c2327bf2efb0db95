#!/usr/bin/env python3
"""Many boards at once: one qz-upload process uploads the same program to several simulated
boards (qz-board on an emulated wire: 10 bits a byte each way at the baud rate, each line end's
echo held back by the latency), each board in its own session, in fast mode. Prints the time
all of them took over the time one board takes alone, the share of one core qz-upload used,
and whether every board stored the program exactly. Then runs them again with one board that
drops off the line part-way, and checks that it ends with its own outcome while the others
complete.

    many_boards.py BUILD_DIR [--boards 8] [--lines 1000] [--baud 115200] [--latency 1]
"""
import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from transfer_bench import Board, program_text  # noqa: E402


def stored_program(board):
    """What the board stored as its program, None when it stored none."""
    try:
        return board.stored("program.bas").decode("latin-1")
    except OSError:
        return None


def upload(build, work, boards, baud, path):
    """One qz-upload for all `boards`; returns (wall s, cpu s, exit code, stdout text)."""
    settings = os.path.join(work, "empty.inf")  # defaults only
    open(settings, "a").close()
    args = [os.path.join(build, "frontends", "cli", "qz-upload"), "--fast", "--baud", str(baud),
            "--device", "micromite", "--settings", settings]
    for board in boards:
        args += ["--port", board.link]
    args.append(path)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    proc = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, proc.returncode, proc.stdout.decode("utf-8", "replace")


def run(build, root, count, lines, baud, latency, vanish_lines=0):
    text = program_text(lines)
    path = os.path.join(root, "bench.bas")
    with open(path, "w", newline="") as f:
        f.write("".join(line + "\r\n" for line in text))
    expected = "".join(line + "\n" for line in text)
    boards = []
    try:
        for i in range(count):
            work = os.path.join(root, "board%d" % i)
            os.makedirs(work)
            extra = ["--vanish-after-lines", str(vanish_lines)] if vanish_lines and i == 0 else []
            boards.append(Board(build, work, latency, extra))
        wall, cpu, code, out = upload(build, root, boards, baud, path)
        landed = [stored_program(b) == expected for b in boards]
    finally:
        for b in boards:
            b.stop()
    return wall, cpu, code, out, landed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--boards", type=int, default=8)
    ap.add_argument("--lines", type=int, default=1000)
    ap.add_argument("--baud", type=int, default=115200)
    ap.add_argument("--latency", type=float, default=1)
    a = ap.parse_args()
    failed = 0
    with tempfile.TemporaryDirectory() as root:
        one = os.path.join(root, "one")
        os.makedirs(one)
        w1, c1, code1, out1, landed1 = run(a.build, one, 1, a.lines, a.baud, a.latency)
        print("1 board : %.2f s, %.1f %% of one core, exit %d, stored exactly: %s"
              % (w1, 100 * c1 / w1, code1, landed1[0]))
        many = os.path.join(root, "many")
        os.makedirs(many)
        wn, cn, coden, outn, landedn = run(a.build, many, a.boards, a.lines, a.baud, a.latency)
        print("%d boards: %.2f s, %.1f %% of one core, exit %d, stored exactly: %d of %d"
              % (a.boards, wn, 100 * cn / wn, coden, sum(landedn), a.boards))
        print("ratio (%d boards / 1 board): %.3f" % (a.boards, wn / w1))
        print(outn.strip().splitlines()[-(a.boards + 1):] and
              "\n".join(outn.strip().splitlines()[-(a.boards + 1):]))
        if not (code1 == 0 and coden == 0 and landed1[0] and all(landedn)):
            failed += 1
        gone = os.path.join(root, "gone")
        os.makedirs(gone)
        wg, cg, codeg, outg, landedg = run(a.build, gone, a.boards, a.lines, a.baud, a.latency,
                                           vanish_lines=a.lines // 3)
        print("%d boards, the first unplugged after %d lines: %.2f s, exit %d, the others stored "
              "exactly: %d of %d" % (a.boards, a.lines // 3, wg, codeg, sum(landedg[1:]),
                                     a.boards - 1))
        print("\n".join(outg.strip().splitlines()[-(a.boards + 1):]))
        if not (codeg != 0 and not landedg[0] and all(landedg[1:])):
            failed += 1
    print("%d failed" % failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
