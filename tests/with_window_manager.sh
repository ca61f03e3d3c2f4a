#!/usr/bin/env bash
# Runs a test program on a private X server (Xvfb) managed by openbox, as on a desktop where
# a window manager frames every window after it is shown.
set -euo pipefail
tmp=$(mktemp -d)
trap 'kill ${wm:-} ${xvfb:-} 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"' EXIT
mkfifo "$tmp/display" "$tmp/wm"
# Xvfb picks a free display and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$tmp/display"
export DISPLAY=":$display"
# The program starts once the window manager manages the screen, as on a desktop.
openbox --startup "sh -c 'echo ready >$tmp/wm'" >/dev/null 2>&1 &
wm=$!
read -r _ <"$tmp/wm"
export QT_QPA_PLATFORM=xcb
"$@"
