#!/usr/bin/env bash
# Renders the application icon from data/icons/lumora.svg: the PNGs (48 and 256 pixels) and the
# Windows icon lumora.ico (16, 24, 32, 48, 64 and 256 pixels; the 256 one stored as PNG, as
# Windows expects). They are committed, so that builds without librsvg (Windows) have them; run
# this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh icons

for size in 48 256; do
  rsvg-convert -w "$size" -h "$size" data/icons/lumora.svg -o "data/icons/lumora-$size.png"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for size in 16 24 32 48 64 256; do
  rsvg-convert -w "$size" -h "$size" data/icons/lumora.svg -o "$work/$size.png"
done
icotool --create --output=data/icons/lumora.ico \
  "$work/16.png" "$work/24.png" "$work/32.png" "$work/48.png" "$work/64.png" \
  --raw="$work/256.png"
