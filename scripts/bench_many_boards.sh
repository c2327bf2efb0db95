#!/usr/bin/env bash
# Uploads one program to several simulated boards at once from one qz-upload, in fast mode,
# and prints the time over one board's alone, the share of one core used, and whether every
# board stored it; then again with one board unplugged part-way (bench/many_boards.py).
#   scripts/bench_many_boards.sh [--boards 8] [--lines 1000] [--baud 115200] [--latency 1]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target qz-upload qz-board >/dev/null
exec python3 bench/many_boards.py build/release "$@"
