#!/usr/bin/env bash
# The program's command line with no display at all: --help and --version answer on stdout
# and exit 0; --export writes its file; anything unknown is refused on stderr with status 2.
# A program that tried to open a window here would abort instead.
set -uo pipefail
program=$(readlink -f "$1") version=$2
out=$(mktemp) err=$(mktemp) work=$(mktemp -d)
trap 'rm -rf "$out" "$err" "$work"' EXIT
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

# A pattern by path, exported for six seconds: 264600 samples of 16-bit mono at 44.1 kHz.
printf '[System]\r\nVersion=1.00\r\nTimeSigniture=1\r\nBPM=150\r\nNoteCount=1\r\n[Note00]\r\nOffset=0\r\n' >"$work/Beat.tktm"
expect "--export a pattern" 0 out "^wrote $work/beat.wav \(0:06, WAV\)" \
  --export "$work/Beat.tktm" --minutes 0.1 --output "$work/beat.wav"
size=$(stat -c %s "$work/beat.wav" 2>/dev/null || echo none)
if [ "$size" = $((44 + 2 * 264600)) ]; then echo "ok   the exported file's size"; else echo "FAIL exported file size $size"; failed=1; fi
# A program given by a path relative to the working folder, its pattern beside it: a 4/4
# measure at 150 BPM (70560 samples) twice.
printf '[Program]\r\nVersion=1.00\r\nRoundCount=1\r\n[Round00]\r\nStepCount=1\r\n[Round00Step00]\r\nPattern=Beat\r\nTempo=150\r\nMeasures=2\r\n' >"$work/Twice.tktp"
cd "$work" || exit 1
expect "--export a program beside its pattern" 0 out "^wrote twice.flac \(0:03, FLAC\)" --export Twice.tktp --output twice.flac
cd - >/dev/null || exit 1
[ -s "$work/twice.flac" ] || { echo "FAIL no twice.flac"; failed=1; }
expect "--export a missing pattern" 1 err "no program or pattern 'No such'" \
  --export "No such" --minutes 1 --output "$work/none.wav"
expect "--export without --output" 2 err "--export needs --output FILE" --export "$work/Beat.tktm"
exit $failed
