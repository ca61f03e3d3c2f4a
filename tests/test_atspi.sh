#!/usr/bin/env bash
# Runs the program on a private X server, session bus and accessibility bus, as a screen reader
# would meet it on a desktop, and checks the accessible names of its main window in one language.
#
# Usage: test_atspi.sh BINARY en|ja [DUMP_FILE]
#   DUMP_FILE  keeps the tree as read (one line per accessible) for quoting.
#
# The program takes its language from the system locale file, not the environment, so the
# system locale is pinned in a private mount namespace for the program alone. That needs root;
# without it the Japanese run is skipped (exit 77), and so is the English one on a machine
# whose own locale is Japanese.
set -euo pipefail

if [ $# -lt 2 ] || { [ "$2" != en ] && [ "$2" != ja ]; }; then
  echo "usage: $0 BINARY en|ja [DUMP_FILE]" >&2
  exit 2
fi
binary=$(realpath "$1")
lang=$2
dump_file=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
# Debian's interpreter: the gi Atspi bindings are Debian packages, not in other interpreters.
python=/usr/bin/python3

if ! "$python" -c 'import gi; gi.require_version("Atspi", "2.0"); from gi.repository import Atspi' 2>/dev/null; then
  echo "FAIL: $python cannot import Atspi (install python3-gi and gir1.2-atspi-2.0)" >&2
  exit 1
fi
for tool in Xvfb openbox dbus-daemon /usr/libexec/at-spi-bus-launcher; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing" >&2; exit 1; }
done

case $lang in
  en) locale=en_US.UTF-8 ;;
  ja) locale=ja_JP.UTF-8 ;;
esac

pin=yes
if [ "$(id -u)" -ne 0 ] || ! unshare -m --propagation private true 2>/dev/null; then
  pin=no
  if [ "$lang" = ja ]; then
    echo "SKIP: showing the program a Japanese system locale needs root (a private mount namespace)"
    exit 77
  fi
  # Unpinned, the program reads this machine's locale, as it does in IsJapanese(): the first
  # of these files that exists, its last LANG.
  for file in /etc/locale.conf /etc/default/locale; do
    [ -e "$file" ] || continue
    case $(grep -E '^[[:space:]]*(export[[:space:]]+)?LANG=' "$file" | tail -n 1 | tr -d "\"' ") in
      *LANG=ja | *LANG=ja[_.@]*)
        echo "SKIP: this machine's locale is Japanese and pinning it to English needs root"
        exit 77 ;;
    esac
    break
  done
fi

tmp=$(mktemp -d)
# Ends the given children, forcibly after 5 s: a program stuck on its way out must not hang us.
stop() {
  local pid state alive
  kill "$@" 2>/dev/null || true
  for _ in $(seq 50); do
    alive=no
    for pid; do
      state=$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d' ' -f1) || true
      if [ -n "$state" ] && [ "$state" != Z ]; then alive=yes; fi
    done
    [ $alive = yes ] || break
    sleep 0.1
  done
  kill -KILL "$@" 2>/dev/null || true
  wait "$@" 2>/dev/null || true
}
cleanup() {
  set +e
  # The program first, then what it talks to; the session bus's activated services (the
  # accessibility bus launcher, its bus and the registry) quit when it goes.
  stop ${app:-} ${wm:-} ${xvfb:-}
  stop ${bus:-}
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# A fresh home: the program starts as on first use, whatever this machine's user has saved.
mkdir -p "$tmp/home" "$tmp/runtime" "$tmp/etc-default"
chmod 700 "$tmp/runtime"
export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/runtime
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME
export LANG=$locale LC_ALL= LANGUAGE=
echo "LANG=$locale" >"$tmp/etc-default/locale"

mkfifo "$tmp/display" "$tmp/bus" "$tmp/wm"
# Xvfb picks a free display and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$tmp/display" || true
[ -n "${display:-}" ] || { echo "FAIL: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display"

# A session bus of our own; the accessibility bus is started on it when first asked for,
# through org.a11y.Bus, by the program's bridge or by the dump, whichever comes first.
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$tmp/bus" >/dev/null 2>&1 &
bus=$!
read -r address <"$tmp/bus" || true
[ -n "${address:-}" ] || { echo "FAIL: dbus-daemon did not start" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS=$address
# Both Qt's bridge and the dump would take an accessibility bus given here over ours.
unset AT_SPI_BUS_ADDRESS

# A window manager activates the window, so the dump shows where keyboard focus starts.
openbox --startup "sh -c 'echo ready >$tmp/wm'" >/dev/null 2>&1 &
wm=$!
read -t 10 -r _ <>"$tmp/wm" || { echo "FAIL: openbox did not start" >&2; exit 1; }

export QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy
# Qt's bridge otherwise waits for the desktop to report a screen reader running.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
if [ $pin = yes ]; then
  # Our file over whichever locale files the machine has (over /etc/default if it has none),
  # seen by the program alone.
  unshare -m --propagation private sh -c '
    set -e
    pinned=no
    for file in /etc/locale.conf /etc/default/locale; do
      if [ -e "$file" ]; then mount --bind "$1/locale" "$file"; pinned=yes; fi
    done
    [ $pinned = yes ] || mount --bind "$1" /etc/default
    exec "$2"' sh "$tmp/etc-default" "$binary" >"$tmp/app.log" 2>&1 &
else
  "$binary" >"$tmp/app.log" 2>&1 &
fi
app=$!

if ! "$python" "$here/atspi_dump.py" --pid "$app" --timeout 15 --json "$tmp/tree.json" >"$tmp/tree.txt"; then
  echo "FAIL: no accessibility tree of the main window ($lang); the program said:" >&2
  cat "$tmp/app.log" >&2
  exit 1
fi
echo "Accessibility tree ($lang):"
cat "$tmp/tree.txt"
if [ -n "$dump_file" ]; then cp "$tmp/tree.txt" "$dump_file"; fi
"$python" "$here/atspi_check.py" "$lang" "$tmp/tree.json"
