#!/usr/bin/env bash
# Uploads a 1000-line program to the simulated board at 115200 baud (with the wire's byte
# time emulated) and prints the measured time divided by the floor the pacing rules allow:
# for each line the larger of one 20 ms poll and its echo time, plus the fixed waits. Also
# prints the CPU time the upload used as a share of one core.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target qz-upload qz-board >/dev/null

lines=${LINES_TO_SEND:-1000}
delay=100
work=$(mktemp -d)
trap 'kill "$board" 2>/dev/null || true; wait "$board" 2>/dev/null || true; rm -rf "$work"' EXIT
for i in $(seq "$lines"); do printf 'Print "benchmark line %d"\r\n' "$i"; done >"$work/bench.bas"

build/release/board/qz-board --store "$work/board" --link "$work/tty" --line-speed \
  >"$work/board.out" 2>"$work/board.err" &
board=$!
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done

start=$(date +%s.%N)
TIMEFORMAT='%U %S'
{ time build/release/frontends/cli/qz-upload --port "$work/tty" --baud 115200 --device micromite \
    --settings "$work/none.inf" --line-delay $delay "$work/bench.bas" >"$work/log.txt"; } 2>"$work/cpu.txt"
end=$(date +%s.%N)

# The floor: per line max(20 ms, the echo's wire time: the line and CR LF out and back at
# 10 bits a byte), plus PIN probe (3 LD), NEW and the start command (one poll each), the end
# sequence (10 LD) and RUN (20 LD).
awk -v start="$start" -v end="$end" -v delay="$delay" -v cpu="$(cat "$work/cpu.txt")" '
  { bytes = length($0) + 1; wire = 2 * bytes * 10 / 115200 * 1000; floor += (wire > 20 ? wire : 20) }
  END {
    floor += 3 * delay + 20 + 20 + 10 * delay + 20 * delay
    measured = (end - start) * 1000
    split(cpu, c, " ")
    printf "lines: %d\nmeasured: %.0f ms\nfloor: %.0f ms\nratio: %.4f\n", NR, measured, floor, measured / floor
    printf "cpu: %.2f%% of one core\n", (c[1] + c[2]) * 1000 / measured * 100
  }' "$work/bench.bas"
