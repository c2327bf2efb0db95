#!/usr/bin/env bash
# Builds the optimised preset and times qz-upload --get of a 100 KB file from the simulated
# board at 115200 baud with 1 ms reply latency, three runs; prints each receive's time over
# the line time of its packets (the goal: at most 1.25). Arguments go to the benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target qz-upload qz-board >/dev/null
python3 bench/receive_bench.py build/release "$@"
