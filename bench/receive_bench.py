#!/usr/bin/env python3
"""Receive benchmark: qz-upload --get of a file from qz-board on an emulated wire (10 bits a
byte each way at the baud rate, the board's every reply held back by its latency). Prints the
receive's time (from "Receiving:" to "Received ...") divided by the line time of the packets
(blocks x 133 bytes x 10 bits / baud), the whole run's time, and whether every byte landed.

    receive_bench.py BUILD_DIR [--bauds 115200] [--latencies 1] [--kb 100] [--runs 3]
"""
import argparse
import os
import signal
import subprocess
import tempfile
import time


def run_get(build, work, baud, latency, data):
    store = os.path.join(work, "store")
    link = os.path.join(work, "tty")
    os.makedirs(store, exist_ok=True)
    with open(os.path.join(store, "bench.bin"), "wb") as f:
        f.write(data)
    board = subprocess.Popen(
        [os.path.join(build, "board", "qz-board"), "--store", store, "--link", link,
         "--line-speed", "--echo-delay", str(latency)],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(link):
                break
            time.sleep(0.05)
        settings = os.path.join(work, "empty.inf")
        open(settings, "a").close()
        target = os.path.join(work, "got.bin")
        if os.path.exists(target):
            os.remove(target)
        start = time.monotonic()
        proc = subprocess.Popen(
            [os.path.join(build, "frontends", "cli", "qz-upload"), "--settings", settings,
             "--port", link, "--baud", str(baud), "--get", "bench.bin", "-o", target],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        marks = {}
        for raw in proc.stdout:
            line = raw.decode("latin-1").rstrip("\r\n")
            marks.setdefault(line.split(" ")[0], time.monotonic() - start)
        code = proc.wait()
        wall = time.monotonic() - start
    finally:
        board.send_signal(signal.SIGTERM)
        board.wait()
    with open(target, "rb") if os.path.exists(target) else open(os.devnull, "rb") as f:
        landed = code == 0 and f.read() == data
    receive = marks.get("Received", wall) - marks.get("Receiving:", 0)
    return receive, wall, landed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--bauds", default="115200")
    ap.add_argument("--latencies", default="1")
    ap.add_argument("--kb", type=int, default=100)
    ap.add_argument("--runs", type=int, default=3)
    a = ap.parse_args()
    size = a.kb * 1024
    blocks = (size + 127) // 128
    data = os.urandom(size)
    ok = True
    print("qz-upload --get, %d KB (%d blocks); ratio = receive time / line time of the packets"
          % (a.kb, blocks))
    print("%7s %7s %9s %9s %9s %9s %s" % ("baud", "latency", "packets s", "receive s", "ratio",
                                          "whole s", "landed"))
    with tempfile.TemporaryDirectory() as work:
        for baud in [int(b) for b in a.bauds.split(",")]:
            packets = blocks * 133 * 10 / baud
            for latency in [float(x) for x in a.latencies.split(",")]:
                for _ in range(a.runs):
                    receive, wall, landed = run_get(a.build, work, baud, latency, data)
                    ok = ok and landed
                    print("%7d %6gms %9.2f %9.2f %9.3f %9.2f %s" % (
                        baud, latency, packets, receive, receive / packets, wall,
                        "yes" if landed else "NO"), flush=True)
    return 0 if ok else 1


if __name__ == "__main__":
    raise SystemExit(main())
