#!/usr/bin/env bash
# Builds and runs every test: the suite in a debug build and again under AddressSanitizer
# and UndefinedBehaviorSanitizer, then each fuzz target for a short, bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

for preset in debug asan; do
  echo "== tests ($preset)"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset"
done
echo "== file-scope state"
scripts/check_globals.sh build/debug

if [ -d fuzz ] && command -v clang++ >/dev/null; then
  echo "== fuzz targets"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j"$jobs"
  for target in build/fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    echo "-- $(basename "$target")"
    "$target" -max_total_time="${QZ_FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=0 2>&1 | tail -n 2
  done
fi

# The Linux desktop window and the Windows build under Wine, both on Xvfb, headless.
for extra in scripts/test_qt.sh scripts/test_wine.sh; do
  if [ -x "$extra" ]; then
    echo "== $(basename "$extra" .sh)"
    "$extra"
  fi
done
