#!/usr/bin/env bash
# Counts the writable data symbols of the core's static library (file-scope and function-local
# static variables: nm types b, B, d, D), leaving out constants named k..., and what the
# compiler makes itself (type information, virtual tables, guard variables, sanitizer data).
# Fails when there are more than three; prints each one.
#   scripts/check_globals.sh [BUILD_DIR]   (default build/debug)
set -euo pipefail
cd "$(dirname "$0")/.."
lib="${1:-build/debug}/libqz_core.a"
[ -f "$lib" ] || { echo "no $lib: build first" >&2; exit 2; }
found=$(nm -C "$lib" | awk '$2 ~ /^[bBdD]$/ { $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
  grep -vE '^(typeinfo|vtable|VTT|guard variable|construction vtable)' |
  grep -vE '^__(odr_asan|asan|ubsan|sancov)|^\.' |
  grep -vE '(^|::)k[A-Z][A-Za-z0-9_]*$' | sort -u || true)
count=$(grep -c . <<<"$found" || true)
echo "writable data symbols in $lib: $count"
[ -n "$found" ] && sed 's/^/  /' <<<"$found"
[ "$count" -le 3 ]
