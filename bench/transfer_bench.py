#!/usr/bin/env python3
"""Transfer benchmark: qz-upload against qz-board on an emulated wire (10 bits a byte each way
at the baud rate, the board's reply held back by its echo latency), in the default and the
fast mode, and lrzsz's sx on the same line. Prints, for each case, the time divided by the
wire floor (bytes x 10 / baud) and the processor time qz-upload used as a share of one core,
and checks that every byte landed on the board.

    transfer_bench.py BUILD_DIR [--bauds 115200,38400] [--latencies 0.1,1,3] [--lines 1000]
                      [--xmodem-kb 100] [--skip-default-xmodem] [--personality picomite]

With --personality picomite the board answers with decorated and double prompts, chunked
echo, a save that takes 200 ms per KB and a checksum XMODEM receiver that asks every 5 s; the
upload then uses the picomite device type, and the save's time is left out of "stream".
"""
import argparse
import math
import os
import resource
import signal
import subprocess
import sys
import tempfile
import termios
import time


def program_text(lines):
    """Lines of 30 to 60 characters that the board stores and RUN runs without output."""
    out = []
    for i in range(1, lines + 1):
        head = 's$ = "line %d ' % i
        width = 30 + (i * 7) % 31
        out.append(head + "x" * max(0, width - len(head) - 1) + '"')
    return out


PERSONALITY = "plain"
SAVE_MS_PER_KB = {"plain": 0, "picomite": 200}


class Board:
    def __init__(self, build, work, latency, extra=()):
        self.store = os.path.join(work, "store")
        self.link = os.path.join(work, "tty")
        self.proc = subprocess.Popen(
            [os.path.join(build, "board", "qz-board"), "--store", self.store, "--link", self.link,
             "--line-speed", "--echo-delay", str(latency), "--personality", PERSONALITY, *extra],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(self.link):
                break
            time.sleep(0.05)

    def stored(self, name):
        with open(os.path.join(self.store, name), "rb") as f:
            return f.read()

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        self.proc.wait()


def run_upload(build, board, baud, path, fast):
    """Runs qz-upload; returns (wall s, cpu s, {log line: time s from start}, exit code)."""
    settings = os.path.join(os.path.dirname(board.store), "empty.inf")  # defaults only
    open(settings, "a").close()
    args = [os.path.join(build, "frontends", "cli", "qz-upload"), "--port", board.link, "--baud",
            str(baud), "--device", "picomite" if PERSONALITY == "picomite" else "micromite",
            "--settings", settings, path]
    if fast:
        args.insert(1, "--fast")
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    proc = subprocess.Popen(args, stdout=subprocess.PIPE)
    marks = {}
    for raw in proc.stdout:
        line = raw.decode("latin-1").rstrip("\r\n")
        marks.setdefault(line, time.monotonic() - start)
    code = proc.wait()
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, marks, code


def bench_program(build, work, baud, latency, lines, fast):
    text = program_text(lines)
    path = os.path.join(work, "bench.bas")
    with open(path, "w", newline="") as f:
        f.write("".join(line + "\r\n" for line in text))
    board = Board(build, work, latency)
    try:
        wall, cpu, marks, code = run_upload(build, board, baud, path, fast)
        stored = board.stored("program.bas").decode("latin-1")
    finally:
        board.stop()
    landed = code == 0 and stored == "".join(line + "\n" for line in text)
    sent = sum(len(line) + 2 for line in text)
    wire = sent * 10 / baud
    # The floor of the default pacing: per line the whole 20 ms polls until its echoed line
    # end can be in (the line and one byte more on the wire: the board echoes as it receives),
    # plus the PIN probe (3 line delays), NEW and the start command (a poll each), the end of
    # entry (10) and RUN (20 line delays of 120 ms).
    floor = sum(0.020 * math.ceil((len(line) + 3) * 10 / baud / 0.020) for line in text)
    # A board that takes its time to save is waited for past the end's 1.2 s.
    save = SAVE_MS_PER_KB[PERSONALITY] * len(stored) / 1024 / 1000
    floor += 0.360 + 0.040 + max(1.2, save) + 2.4
    streaming = None
    begun = [t for line, t in marks.items() if line.endswith("AUTOSAVE")]
    saved = [t for line, t in marks.items() if line.startswith("Saved ")]
    if begun and saved:
        streaming = saved[0] - begun[0] - (save if fast else max(1.2, save))
    return {"wall": wall, "cpu": cpu, "wire": wire, "floor": floor, "streaming": streaming,
            "landed": landed}


def random_file(work, name, size):
    """Writes SIZE random bytes to WORK/NAME; returns (the bytes, the path)."""
    data = os.urandom(size)
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(data)
    return data, path


def bench_xmodem(build, work, baud, latency, size, fast):
    data, path = random_file(work, "bench.bin", size)
    board = Board(build, work, latency)
    try:
        wall, cpu, marks, code = run_upload(build, board, baud, path, fast)
        landed = code == 0 and board.stored("bench.bin")[:size] == data
    finally:
        board.stop()
    return {"wall": wall, "cpu": cpu, "landed": landed}


def bench_sx(build, work, baud, latency, size):
    data, path = random_file(work, "sx.bin", size)
    board = Board(build, work, latency)
    try:
        fd = os.open(board.link, os.O_RDWR | os.O_NOCTTY)
        attrs = termios.tcgetattr(fd)
        speed = getattr(termios, "B%d" % baud)
        attrs[0] = attrs[1] = attrs[3] = 0  # raw: no input, output or local processing
        attrs[2] = termios.CS8 | termios.CREAD | termios.CLOCAL
        attrs[4] = attrs[5] = speed
        termios.tcsetattr(fd, termios.TCSANOW, attrs)
        start = time.monotonic()
        os.write(fd, b'XMODEM RECEIVE "sx.bin"\r\n')
        # The command's echo is read up to its line end, byte by byte, so that sx sees the
        # receiver's request and not the "C" of "RECEIVE": taking that for a request, sx
        # sends block 1 twice and from then on runs a block ahead of the ACKs it reads.
        while os.read(fd, 1) != b"\n":
            pass
        proc = subprocess.Popen(["sx", "-q", path], stdin=fd, stdout=fd,
                                stderr=subprocess.DEVNULL)
        code = proc.wait()
        wall = time.monotonic() - start
        os.close(fd)
        time.sleep(0.2)
        landed = code == 0 and board.stored("sx.bin")[:size] == data
    finally:
        board.stop()
    return {"wall": wall, "landed": landed}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--bauds", default="115200,38400")
    ap.add_argument("--latencies", default="0.1,1,3")
    ap.add_argument("--lines", type=int, default=1000)
    ap.add_argument("--xmodem-kb", type=int, default=100)
    ap.add_argument("--skip-default-xmodem", action="store_true")
    ap.add_argument("--personality", choices=("plain", "picomite"), default="plain")
    a = ap.parse_args()
    global PERSONALITY
    PERSONALITY = a.personality
    bauds = [int(b) for b in a.bauds.split(",")]
    latencies = [float(x) for x in a.latencies.split(",")]
    size = a.xmodem_kb * 1024
    ok = True
    with tempfile.TemporaryDirectory() as work:
        print("Program text, %d lines of 30 to 60 characters; ratio = time / wire floor" % a.lines)
        print("%7s %7s  %-8s %9s %9s %9s %9s %7s %s" % ("baud", "latency", "mode", "wire s",
              "stream", "whole", "whole s", "cpu %", "landed"))
        for baud in bauds:
            for latency in latencies:
                for fast in (False, True):
                    r = bench_program(a.build, work, baud, latency, a.lines, fast)
                    ok = ok and r["landed"]
                    stream = "%9.3f" % (r["streaming"] / r["wire"]) if r["streaming"] else "%9s" % "-"
                    print("%7d %6gms  %-8s %9.2f %s %9.3f %9.2f %7.2f %s" % (
                        baud, latency, "fast" if fast else "default", r["wire"], stream,
                        r["wall"] / r["wire"], r["wall"], 100 * r["cpu"] / r["wall"],
                        "yes" if r["landed"] else "NO"), flush=True)
                    if not fast:
                        print("%7s %7s  %-8s default whole / its pacing floor (%.2f s): %.4f" % (
                            "", "", "", r["floor"], r["wall"] / r["floor"]), flush=True)
        blocks = (size + 127) // 128
        print()
        print("XMODEM, %d KB (%d blocks); ratio = time / line time of the packets" % (a.xmodem_kb,
                                                                                      blocks))
        print("%7s %7s  %-8s %9s %9s %9s %7s %s" % ("baud", "latency", "sender", "packets s",
              "ratio", "time s", "cpu %", "landed"))
        for baud in bauds:
            packets = blocks * 133 * 10 / baud
            for latency in latencies:
                runs = [("fast", True)]
                if not a.skip_default_xmodem and latency == latencies[0]:
                    runs.insert(0, ("default", False))
                for name, fast in runs:
                    r = bench_xmodem(a.build, work, baud, latency, size, fast)
                    ok = ok and r["landed"]
                    print("%7d %6gms  %-8s %9.2f %9.3f %9.2f %7.2f %s" % (
                        baud, latency, name, packets, r["wall"] / packets, r["wall"],
                        100 * r["cpu"] / r["wall"], "yes" if r["landed"] else "NO"), flush=True)
                r = bench_sx(a.build, work, baud, latency, size)
                ok = ok and r["landed"]
                print("%7d %6gms  %-8s %9.2f %9.3f %9.2f %7s %s" % (
                    baud, latency, "sx", packets, r["wall"] / packets, r["wall"], "-",
                    "yes" if r["landed"] else "NO"), flush=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
