#!/usr/bin/env bash
# Checks the Debian package that scripts/package.sh built: its declared dependencies are
# installed here at the versions it asks for, it unpacks into a scratch root with the
# programs, the manual page, the desktop entry and the icon, and the programs start from there.
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(ls build/packages/qz-uploader_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
failed=0

# Depends: "a (>= 1), b | c (>= 2), ...": each group needs one installed alternative.
IFS=',' read -ra groups <<<"$(dpkg-deb -f "$deb" Depends)"
for group in "${groups[@]}"; do
  met=""
  IFS='|' read -ra alternatives <<<"$group"
  for alternative in "${alternatives[@]}"; do
    read -r name op version <<<"$(tr -d '()' <<<"$alternative")"
    installed=$(dpkg-query -W -f='${Status} ${Version}' "$name" 2>/dev/null || true)
    case "$installed" in "install ok installed "*) ;; *) continue ;; esac
    if [ -z "${op:-}" ] || dpkg --compare-versions "${installed##* }" "$op" "$version"; then
      met=$name
      break
    fi
  done
  if [ -n "$met" ]; then echo "ok   depends on ${group# }"; else echo "FAIL depends on ${group# }"; failed=1; fi
done

dpkg-deb -x "$deb" "$root"
for f in usr/bin/qz-upload usr/bin/qz-uploader usr/share/applications/qz-uploader.desktop \
  usr/share/icons/hicolor/scalable/apps/qz-uploader.svg \
  usr/share/mime/packages/qz-uploader.xml usr/share/man/man1/qz-upload.1; do
  if [ -e "$root/$f" ]; then echo "ok   /$f"; else echo "FAIL /$f missing"; failed=1; fi
done

"$root/usr/bin/qz-upload" --version
# The window needs a display: Qt's offscreen one. Still running after 3 s means it started
# (it waits for the user); its settings go to a scratch folder.
status=0
XDG_CONFIG_HOME=$root/config QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/qz-uploader" \
  >"$root/window.log" 2>&1 || status=$?
if [ "$status" -eq 124 ]; then
  echo "ok   qz-uploader started"
else
  echo "FAIL qz-uploader ended with $status:"
  cat "$root/window.log"
  failed=1
fi
exit "$failed"
