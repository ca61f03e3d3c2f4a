#!/usr/bin/env bash
# Renders the program's icon, resources/app/taktola.svg, to the 256 x 256 PNG that desktops
# without SVG icon support show (resources/app/taktola-256.png). Needs rsvg-convert (Debian's
# librsvg2-bin). The PNG is kept in the repository so that building needs no converter.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
svg="$root/resources/app/taktola.svg"
out="$root/resources/app/taktola-256.png"
command -v rsvg-convert >/dev/null || { echo "make-icon: rsvg-convert is missing; apt-get install librsvg2-bin" >&2; exit 1; }
rsvg-convert --width 256 --height 256 --format png --output "$out" "$svg"
echo "wrote $out"
