#!/usr/bin/env bash
# The program's command line with no display at all: --help and --version answer on stdout
# and exit 0; anything unknown is refused on stderr with status 2. A program that tried to
# open a window here would abort instead.
set -uo pipefail
program=$1 version=$2
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
failed=0

# expect WHAT STATUS STREAM PATTERN ARGS...: the answer comes on STREAM (out or err), the
# other stays empty.
expect() {
  local what=$1 want=$2 stream=$3 pattern=$4
  shift 4
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$program" "$@" >"$out" 2>"$err"
  local got=$? said=$out quiet=$err
  [ "$stream" = err ] && said=$err quiet=$out
  if [ "$got" -ne "$want" ] || ! grep -qE -- "$pattern" "$said" || [ -s "$quiet" ]; then
    echo "FAIL $what: status $got (want $want)"; echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"
    failed=1
  else
    echo "ok   $what"
  fi
}

expect "--help" 0 out '^Usage: taktola \[options\]' --help
expect "--version" 0 out "^taktola ${version//./\\.}\$" --version
expect "an unknown option" 2 err "Unknown option 'frobnicate'" --frobnicate
expect "an argument" 2 err "unexpected argument 'a-pattern'" a-pattern
exit $failed
