#!/usr/bin/env bash
# The main job: builds the tool and the simulated board, starts the board on a
# pseudo-terminal, uploads the bundled example program with the headless front end, and
# shows the log, the program the board stored and what it printed after RUN.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh demo
cmake --preset release -DQZ_TESTS=OFF >/dev/null
cmake --build --preset release -j"$(nproc)" --target qz-upload qz-board >/dev/null

work=$(mktemp -d)
trap 'kill "$board" 2>/dev/null || true; wait "$board" 2>/dev/null || true; rm -rf "$work"' EXIT
build/release/board/qz-board --store "$work/board" --link "$work/tty" >"$work/board.out" 2>"$work/board.err" &
board=$!
for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.1; done

# An empty settings file of its own, so that the demo never reads or depends on the user's.
: >"$work/demo.inf"

echo "== upload log"
build/release/frontends/cli/qz-upload --port "$work/tty" --baud 115200 --device micromite \
  --settings "$work/demo.inf" examples/demo.bas
echo
echo "== program stored on the board"
cat "$work/board/program.bas"
echo
echo "== what the board printed after RUN"
cat "$work/board/run-output.txt"
