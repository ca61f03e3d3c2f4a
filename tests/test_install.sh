#!/usr/bin/env bash
# Installs the program into a temporary prefix and checks it as a desktop and a user meet it:
# the desktop entry, icon and AppStream metadata pass their validators and point at files the
# install holds; then the installed program, in a prefix it cannot write, runs as an ordinary
# user on a private X server, saves a pattern into the user's data folder and loads it again
# after a restart.
#   test_install.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
app_id=example.taktola.Taktola

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

tmp=$(mktemp -d)
cleanup() {
  [ -n "${program:-}" ] && kill "$program" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# ---- The install -------------------------------------------------------------------------
# The root of a system whose /usr is the prefix, as the AppStream tree check expects.
root="$tmp/root"
prefix="$root/usr"
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log" >&2; fail "cmake --install"; }

desktop="$prefix/share/applications/$app_id.desktop"
metainfo="$prefix/share/metainfo/$app_id.metainfo.xml"
[ -f "$desktop" ] || fail "no desktop entry at $desktop"
[ -f "$metainfo" ] || fail "no AppStream metadata at $metainfo"

# desktop-file-validate exits 0 on warnings; they count as failures here (hints do not).
validation=$(desktop-file-validate "$desktop" 2>&1) || { echo "$validation" >&2; fail "desktop-file-validate"; }
if grep -E ': (error|warning): ' <<<"$validation" >&2; then fail "desktop-file-validate reports the above"; fi
# validate-tree validates each metainfo file as `appstreamcli validate` does (failing on
# warnings too) and checks that the desktop entry it names as launchable is installed.
appstreamcli validate-tree --no-net "$root" >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log" >&2; fail "appstreamcli validate-tree"; }
grep -q "$app_id.metainfo.xml" "$tmp/appstream.log" || { cat "$tmp/appstream.log" >&2; fail "appstreamcli validated no metainfo file"; }

# What the entry starts and shows must be installed under the names it uses.
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_name" ] || fail "Exec=$exec_name is not installed in $prefix/bin"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for file in "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" "$prefix/share/icons/hicolor/256x256/apps/$icon.png"; do
  [ -f "$file" ] || fail "Icon=$icon: no $file"
done
# The PNG's signature and its IHDR width and height: a 256 x 256 picture in the 256x256 folder.
png_head=$(od -An -tu1 -N24 "$prefix/share/icons/hicolor/256x256/apps/$icon.png" | tr -s ' \n' ' ')
[ "$png_head" = " 137 80 78 71 13 10 26 10 0 0 0 13 73 72 68 82 0 0 1 0 0 0 1 0 " ] ||
  fail "$icon.png is no 256 x 256 PNG picture (its first bytes:$png_head)"

# ---- The installed program as an ordinary user ---------------------------------------------
# The prefix is read-only, as /usr is to a user; the user's home is a folder of its own.
chmod -R a-w "$root"
chmod 755 "$tmp"
home="$tmp/home"
data="$home/data"
mkdir -p "$home/runtime"
chmod 700 "$home" "$home/runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$home"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi

# A private X server with no window manager: windows stay where the program puts them.
mkfifo "$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$tmp/display" || fail "Xvfb did not start"
export DISPLAY=":$display"

# A stand-in for dbus-launch, first on the program's PATH, that leaves a mark when run.
mkdir -p "$tmp/bin"
printf '#!/bin/sh\ntouch "%s"\nexit 1\n' "$home/dbus-launch-ran" >"$tmp/bin/dbus-launch"
chmod 755 "$tmp/bin" "$tmp/bin/dbus-launch"

start_program() {
  # No session bus, so the theme is not waited for; SDL plays into its dummy driver. With
  # "no-bus", not even an address: as in a session that has none.
  local bus=(DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus")
  [ "${1:-}" = no-bus ] && bus=()
  "${as_user[@]}" env -i PATH="$tmp/bin:/usr/bin:/bin" HOME="$home" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
    XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
    XDG_RUNTIME_DIR="$home/runtime" "${bus[@]}" \
    SDL_AUDIODRIVER=dummy "$prefix/bin/taktola" >>"$tmp/program.log" 2>&1 &
  program=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^TAKTOLA- Sports Metronome$' | head -n 1) ||
    { cat "$tmp/program.log" >&2; fail "the installed program showed no main window"; }
}

stop_program() {
  kill "$program"
  wait "$program" 2>/dev/null || true
  program=
}

# The names of the visible windows, for a failure's report.
visible_windows() {
  xdotool search --onlyvisible --name '.' 2>/dev/null | while read -r w; do xdotool getwindowname "$w"; done
}

# Clicks at a point of the main window's client area.
click() {
  xdotool mousemove --sync --window "$window" "$1" "$2" click 1
}

# Saves the current pattern under a name: the save button opens a dialog with its default
# name selected, which the name typed replaces.
save_as() {
  click 163 24
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name '^(Add Item|設定を記憶)$' | head -n 1) ||
    fail "the save button opened no name dialog; visible: $(visible_windows | tr '\n' '|')"
  xdotool windowfocus --sync "$dialog" type --delay 20 "$1"
  xdotool key Return
  for _ in $(seq 100); do
    [ -f "$data/taktola/$1.tktm" ] && return
    sleep 0.1
  done
  fail "$1.tktm was not saved in $data/taktola; visible: $(visible_windows | tr '\n' '|'); files: $(
    find "$home" "$prefix/bin" -name '*.tktm' | tr '\n' ' ')"
}

start_program no-bus
# Where there is no session bus, the program does not try to start one (libdbus would run
# dbus-launch through the X server, at a cost to start-up, for a bus the program can do without).
[ ! -e "$home/dbus-launch-ran" ] || fail "the program ran dbus-launch to start a session bus"
# An X11 dock finds the entry of a window by the window's class.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[ -n "$wm_class" ] || fail "the desktop entry names no StartupWMClass"
xdotool search --classname "^$wm_class\$" | grep -qx "$window" ||
  fail "the window's class is not StartupWMClass=$wm_class"
# A tempo other than the 120 of a fresh start, typed into the tempo field.
click 420 25
xdotool key ctrl+a type --delay 20 123
xdotool key Tab
save_as Run
tr -d '\r' <"$data/taktola/Run.tktm" | grep -qx 'BPM=123' || { cat "$data/taktola/Run.tktm" >&2; fail "Run.tktm does not hold the tempo typed"; }

# After a restart the pattern is listed and loads: saved again, it is the same pattern.
stop_program
start_program
click 80 24
# Typing a name in the open list goes to the item it starts.
xdotool type --delay 20 Run
xdotool key Return
save_as Copy
cmp "$data/taktola/Run.tktm" "$data/taktola/Copy.tktm" ||
  { diff "$data/taktola/Run.tktm" "$data/taktola/Copy.tktm" >&2 || true; fail "Run did not load after a restart"; }
stop_program
echo "installed program: validated, saved and loaded a pattern as a user with a read-only prefix"
