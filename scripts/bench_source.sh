#!/usr/bin/env bash
# Builds the optimised preset and times crunching, encoding and decoding a 1 MB program, and
# reading a settings file of many groups and keys.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target qz_bench_source >/dev/null
build/release/bench/qz_bench_source
