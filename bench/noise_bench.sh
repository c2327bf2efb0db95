#!/usr/bin/env bash
# Uploads a 1000-line program to the simulated board over a wire that loses or changes
# bytes towards it, 20 seeds a case: streaming at one byte in ten thousand (qz-upload's
# default retries), --retry 3 at one in a hundred thousand, and --via xmodem at one in ten
# thousand beside the clean XMODEM time. Prints a row a run and a summary a case; exits 1
# when a run ended with exit 0 and a wrong program, or the board saved or ran a damaged one.
# Takes about five minutes in fast mode (add --modes default,fast for the default pacing).
#   bench/noise_bench.sh [--seeds N] [--lines N] [--baud N] [--modes fast] [--cases LIST]
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target qz-upload qz-board >/dev/null
exec python3 bench/noise_bench.py build/release "$@"
