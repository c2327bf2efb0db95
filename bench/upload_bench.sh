#!/usr/bin/env bash
# Uploads to the simulated board on an emulated wire (10 bits a byte each way at the baud
# rate, the board's echo held back by its latency), in the default and the fast mode: a
# 1000-line program and a 100 KB XMODEM file at 115200 and 38400 baud, at echo latencies of
# 0.1, 1 and 3 ms, with lrzsz's sx on the same line for XMODEM. Prints each time over its
# wire floor (bytes x 10 / baud), the default's time over the floor its fixed pacing allows,
# the share of one core qz-upload used, and whether every byte landed on the board.
# Takes about ten minutes, most of it the default mode's XMODEM (200 ms a block).
#   bench/upload_bench.sh [--bauds 115200] [--latencies 1] [--lines N] [--xmodem-kb N]
#                         [--skip-default-xmodem] [--personality picomite]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target qz-upload qz-board >/dev/null
exec python3 bench/transfer_bench.py build/release "$@"
