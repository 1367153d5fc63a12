#!/usr/bin/env bash
# Renders the application icon's PNGs (48 and 256 pixels) from data/icons/lumora.svg.
# The PNGs are committed, so that builds without librsvg (Windows) have them; run this after
# changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v rsvg-convert >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get install -y -q --no-install-recommends librsvg2-bin
fi
for size in 48 256; do
  rsvg-convert -w "$size" -h "$size" data/icons/lumora.svg -o "data/icons/lumora-$size.png"
done
