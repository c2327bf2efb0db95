#!/usr/bin/env bash
# Fails when a folder includes one that its layer may not see (the README's "How the code is
# layered"): source/ sees nothing of ours, each layer sees the ones below it (source < link <
# settings < ui < app < frontends), board/ sees only itself. Prints each climbing include.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A allowed=(
  [source]="source"
  [link]="source link"
  [settings]="source link settings"
  [ui]="source link settings ui"
  [app]="source link settings ui app"
  [frontends]="source link settings ui app frontends"
  [board]="board"
)
bad=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([a-z0-9_]+)\/.*/\1/' <<<"$text")
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "$file:$line: $folder/ may not include $target/: $text"; bad=1 ;;
    esac
  done < <(git ls-files "$folder" | grep -E '\.(cpp|h)$' | xargs -r grep -HnE '#include "[a-z0-9_]+/' || true)
done
[ "$bad" -eq 0 ] && echo "layers: no include climbs"
exit "$bad"
