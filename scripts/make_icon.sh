#!/usr/bin/env bash
# Renders the program's icon (frontends/icons/qz-uploader.svg, drawn only with rect and
# polygon shapes) into the Windows icon frontends/icons/qz-uploader.ico at 16, 32, 48 and
# 256 pixels with ImageMagick's draw primitives. Run it after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=frontends/icons/qz-uploader.svg
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The SVG's shapes as ImageMagick draw commands on a 256-pixel canvas (the SVG's is 64).
python3 - "$svg" >"$work/shapes.mvg" <<'PY'
import sys, xml.etree.ElementTree as ET
k = 4
def walk(node, fill):
    fill = node.get("fill", fill)
    tag = node.tag.split("}")[-1]
    if tag == "rect":
        x, y, w, h = (float(node.get(a)) * k for a in ("x", "y", "width", "height"))
        r = float(node.get("rx", 0)) * k
        corners = f" {r},{r}" if r else ""
        shape = "roundrectangle" if r else "rectangle"
        print(f"fill '{fill}' {shape} {x},{y} {x + w - 1},{y + h - 1}{corners}")
    elif tag == "polygon":
        points = " ".join(f"{float(a) * k},{float(b) * k}" for a, b in
                          (p.split(",") for p in node.get("points").split()))
        print(f"fill '{fill}' polygon {points}")
    for child in node:
        walk(child, fill)
walk(ET.parse(sys.argv[1]).getroot(), "black")
PY
draw=()
while IFS= read -r shape; do draw+=(-draw "$shape"); done <"$work/shapes.mvg"
/usr/bin/convert -size 256x256 xc:none "${draw[@]}" "$work/256.png"
for size in 48 32 16; do
  /usr/bin/convert "$work/256.png" -resize "${size}x$size" "$work/$size.png"
done
/usr/bin/convert "$work/16.png" "$work/32.png" "$work/48.png" "$work/256.png" \
  frontends/icons/qz-uploader.ico
