#!/usr/bin/env bash
# Draws the About dialog's emblem, resources/emblem/about-icn60.png: a metronome on a rounded
# blue tile, 60 x 60 pixels, 8-bit RGB without transparency. Needs ImageMagick. The output
# carries no time stamps, so the same drawing gives the same bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/resources/emblem/about-icn60.png"
mkdir -p "$(dirname "$out")"
# Drawn four times larger and scaled down, for smooth edges.
convert -size 240x240 xc:white \
  -fill '#0067c0' -draw 'roundrectangle 6,6 233,233 48,48' \
  -fill white -draw 'polygon 92,44 148,44 186,190 54,190' \
  -fill white -draw 'roundrectangle 42,186 198,206 6,6' \
  -stroke '#0067c0' -strokewidth 11 -draw 'line 120,168 146,70' \
  -stroke none -fill '#0067c0' -draw 'roundrectangle 126,90 152,110 5,5' \
  -fill '#0067c0' -draw 'circle 120,168 120,180' \
  -resize 60x60 -alpha off -type TrueColor -depth 8 -strip \
  -define png:color-type=2 -define png:bit-depth=8 -define png:exclude-chunks=date,time \
  "$out"
echo "wrote $out"
