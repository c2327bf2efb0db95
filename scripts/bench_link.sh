#!/usr/bin/env bash
# Link benchmark: a 100 KB file by XMODEM to lrzsz's rx over a line paced at the baud rate,
# once with our sender and once with lrzsz's sx; prints each time divided by the floor
# (blocks x 200 ms + line time of the packets), and the processor time our sender and the
# send-and-wait loop use. Needs lrzsz. Takes about three minutes at 115200 baud.
#   scripts/bench_link.sh [BAUD] [SIZE_BYTES]
set -euo pipefail
cd "$(dirname "$0")/.."
baud=${1:-115200}
size=${2:-102400}
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target qz_xmodem_bench >/dev/null
file=$(mktemp /tmp/qz_bench_XXXXXX.bin)
trap 'rm -f "$file"' EXIT
head -c "$size" /dev/urandom >"$file"
build/release/bench/qz_xmodem_bench "$file" "$baud"
