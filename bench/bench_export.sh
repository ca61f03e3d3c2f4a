#!/usr/bin/env bash
# Export speed: `taktola --export` beside klick's `klick -W`, both writing the same click
# track (4/4 at 120 BPM, 44.1 kHz 16-bit mono WAV) of 10 and of 60 minutes, in interleaved
# rounds (the program that goes first alternates). Run by hand; the machine's load at each
# round is printed, and figures taken while other work ran are worth repeating.
#
#   bench/bench_export.sh [-r ROUNDS] [-d FOLDER] PATH/TO/taktola
#
# Per program, length and round: the wall time of the whole process (start to exit, the
# file written and closed; read from the clock in nanoseconds, since GNU time's is in
# hundredths) and its peak resident memory (VmHWM, from GNU time). Printed:
# median and range (min-max) of each, the speed in minutes of audio per second, and the
# ratio of klick's median time to ours. Also ours for a 60-minute training program of ramps,
# count-ins and rests, which klick cannot express the same way. The files go to FOLDER
# (default: a temporary folder under /tmp), one at a time, removed after each run.
# Needs klick (apt-get install klick) and GNU time.
set -uo pipefail

ROUNDS=7
FOLDER=""
while getopts "r:d:h" opt; do
  case $opt in
    r) ROUNDS=$OPTARG ;;
    d) FOLDER=$OPTARG ;;
    *) sed -n '2,15p' "$0"; exit 64 ;;
  esac
done
shift $((OPTIND - 1))
TAKTOLA=${1:?usage: bench_export.sh [-r ROUNDS] [-d FOLDER] PATH/TO/taktola}
[[ -x $TAKTOLA ]] || { echo "not an executable: $TAKTOLA" >&2; exit 64; }
KLICK=${KLICK:-$(command -v klick)}
[[ -n $KLICK ]] || { echo "klick is not installed (apt-get install klick)" >&2; exit 64; }
[[ -x /usr/bin/time ]] || { echo "GNU time is not installed (apt-get install time)" >&2; exit 64; }

work=$(mktemp -d "${FOLDER:-/tmp}/bench-export.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The pattern: four quarter notes at 120 BPM, the first one spoken ("One"), the others sine
# clicks; klick's click track at the same tempo and meter.
{
  printf '[System]\r\nVersion=1.00\r\nTimeSigniture=1\r\nBPM=120\r\nNoteCount=4\r\n'
  for i in 0 1 2 3; do
    printf '[Note%02d]\r\nNoteType=%d\r\nOffset=%d\r\nTone=880\r\nLength=2\r\nLoudness=0.8\r\n' \
      "$i" $((i == 0 ? 1 : 0)) $((16 * i))
  done
} >"$work/Click.tktm"
# The program: a 5-minute warm-up ramp, then 11 rounds of 1:30 fast with a count-in, 3:00
# easy and a 2-measure rest, then a 5-minute cool-down ramp with a count-in; about 60 minutes.
{
  printf '[Program]\r\nVersion=1.00\r\nRoundCount=3\r\n'
  printf '[Round00]\r\nRepeat=1\r\nStepCount=1\r\n'
  printf '[Round00Step00]\r\nPattern=Click\r\nTempo=140\r\nTempoTo=170\r\nDuration=5:00\r\nCountIn=0\r\nRest=0\r\n'
  printf '[Round01]\r\nRepeat=11\r\nStepCount=3\r\n'
  printf '[Round01Step00]\r\nPattern=Click\r\nTempo=180\r\nTempoTo=180\r\nDuration=1:30\r\nCountIn=1\r\nRest=0\r\n'
  printf '[Round01Step01]\r\nPattern=Click\r\nTempo=165\r\nTempoTo=165\r\nDuration=3:00\r\nCountIn=0\r\nRest=0\r\n'
  printf '[Round01Step02]\r\nPattern=Click\r\nTempo=165\r\nTempoTo=165\r\nMeasures=2\r\nCountIn=0\r\nRest=1\r\n'
  printf '[Round02]\r\nRepeat=1\r\nStepCount=1\r\n'
  printf '[Round02Step00]\r\nPattern=Click\r\nTempo=170\r\nTempoTo=120\r\nDuration=5:00\r\nCountIn=1\r\nRest=0\r\n'
} >"$work/Intervals.tktp"

# run NAME MINUTES COMMAND...: appends "NAME MINUTES seconds kilobytes" to the results.
results="$work/results"
run() {
  local name=$1 minutes=$2
  shift 2
  local stats="$work/time" start end
  start=$(date +%s%N)
  if ! /usr/bin/time -f '%M' -o "$stats" "$@" >/dev/null 2>"$work/stderr"; then
    echo "FAILED: $*" >&2; cat "$work/stderr" >&2; exit 1
  fi
  end=$(date +%s%N)
  echo "$name $minutes $(echo "($end - $start) / 1000000000" | bc -l) $(cat "$stats")" >>"$results"
  rm -f "$work"/*.wav
}

ours() { run taktola "$1" "$TAKTOLA" --export "$work/Click.tktm" --minutes "$1" --output "$work/ours.wav"; }
theirs() { run klick "$1" "$KLICK" -W "$work/klick.wav" -r 44100 $(($1 * 30)) 4/4 120; }

echo "taktola: $TAKTOLA"
echo "klick:   $KLICK ($(dpkg-query -W -f='${Version}' klick 2>/dev/null))"
echo "rounds:  $ROUNDS, files in $work"
for ((r = 1; r <= ROUNDS; r++)); do
  echo "round $r, load $(cut -d' ' -f1-3 /proc/loadavg)"
  for minutes in 10 60; do
    if ((r % 2)); then ours $minutes; theirs $minutes; else theirs $minutes; ours $minutes; fi
  done
  run program 60 "$TAKTOLA" --export "$work/Intervals.tktp" --output "$work/program.wav"
done

# The median and the range of column COLUMN for NAME MINUTES.
stat() {
  awk -v n="$1" -v m="$2" -v c="$3" '$1 == n && $2 == m { print $c }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END { med = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
                              printf "%s %s %s\n", med, v[1], v[NR] }'
}
echo
printf '%-8s %7s  %-22s %14s  %-22s\n' program minutes "time s: median (range)" "audio min/s" "peak memory MB"
for minutes in 10 60; do
  for name in taktola klick; do
    read -r t tmin tmax < <(stat $name $minutes 3)
    read -r m mmin mmax < <(stat $name $minutes 4)
    printf '%-8s %7s  %5.3f (%5.3f-%5.3f) %14.0f  %5.1f (%5.1f-%5.1f)\n' $name $minutes "$t" "$tmin" "$tmax" \
      "$(echo "$minutes / $t" | bc -l)" "$(echo "$m / 1024" | bc -l)" "$(echo "$mmin / 1024" | bc -l)" \
      "$(echo "$mmax / 1024" | bc -l)"
  done
  read -r ot _ < <(stat taktola $minutes 3)
  read -r kt _ < <(stat klick $minutes 3)
  printf '%-8s %7s  klick / taktola median time: %.2f\n' ratio $minutes "$(echo "$kt / $ot" | bc -l)"
done
read -r t tmin tmax < <(stat program 60 3)
read -r m _ < <(stat program 60 4)
printf '%-8s %7s  %5.3f (%5.3f-%5.3f) %14.0f  %5.1f\n' program 60 "$t" "$tmin" "$tmax" "$(echo "60 / $t" | bc -l)" \
  "$(echo "$m / 1024" | bc -l)"
