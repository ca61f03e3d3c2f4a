#!/usr/bin/env bash
# Runs a test program on a private X server (Xvfb) managed by openbox, as on a desktop where
# a window manager frames every window after it is shown.
set -euo pipefail
fifo=$(mktemp -u)
mkfifo "$fifo"
# Xvfb picks a free display and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$fifo"
rm -f "$fifo"
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm $xvfb 2>/dev/null; wait 2>/dev/null' EXIT
export QT_QPA_PLATFORM=xcb
"$@"
