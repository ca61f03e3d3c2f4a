#!/usr/bin/env bash
# Stream shapes against the sound server's CPU and the delay of an edit, with
# bench/stream_probe.cpp on a private PulseAudio null sink; shapes are interleaved over the
# rounds (each round starts one shape further on). Run by hand.
#
#   bench/stream_shapes.sh [-r ROUNDS] [-w SECONDS] [-e EDITS] BUILD_DIR SHAPE...
#
# BUILD_DIR: a TAKTOLA build (its libtaktola_sound.a and libtaktola_core.a are linked, its
# source tree is read from CMakeCache.txt). A SHAPE is key=value pairs joined by commas:
#   player=taktola|pulse|raw  TAKTOLA's TSdlLoopPlayer or TPulseLoopPlayer, or the SDL
#                       player's hand-over on a plain callback
#   samples=N           SDL's buffer (both players)
#   rate=HZ format=s16|f32 channels=N allow=FLAGS   (raw only; allow: SDL_AUDIO_ALLOW_*)
#   latency=MS          PULSE_LATENCY_MSEC for the player's process
#   driver=NAME         SDL_AUDIODRIVER (pulseaudio unless given)
# e.g. bench/stream_shapes.sh build player=taktola,samples=1024 player=taktola,samples=2048
#
# Prints per shape: the server's CPU above its idle rate (seconds per minute, median and
# range over the rounds), the delay from a hand-over to its first sample at the server
# (median and range of the rounds' medians; each round makes EDITS edits), and the sink's
# configured latency while the shape played (a real device adds about that much before the
# sample is heard).
set -uo pipefail

ROUNDS=3
WINDOW=20
EDITS=20
while getopts "r:w:e:h" opt; do
  case $opt in
    r) ROUNDS=$OPTARG ;;
    w) WINDOW=$OPTARG ;;
    e) EDITS=$OPTARG ;;
    *) sed -n '2,25p' "$0"; exit 64 ;;
  esac
done
shift $((OPTIND - 1))
BUILD=${1:?usage: stream_shapes.sh [-r ROUNDS] [-w SECONDS] [-e EDITS] BUILD_DIR SHAPE...}
shift
(($# > 0)) || { echo "no shape given" >&2; exit 64; }
SHAPES=("$@")
BUILD=$(readlink -f "$BUILD")
SRC=$(awk -F= '/^CMAKE_HOME_DIRECTORY:/{print $2}' "$BUILD/CMakeCache.txt" 2>/dev/null)
[[ -d $SRC && -f $BUILD/libtaktola_sound.a && -f $BUILD/libtaktola_core.a ]] ||
  { echo "$BUILD is not a TAKTOLA build with its libraries" >&2; exit 64; }

source "$(dirname "$0")/audio_bench_env.sh"
bench_check_tools
command -v pkg-config >/dev/null && pkg-config --exists sdl2 || bench_die "missing libsdl2-dev"
trap bench_cleanup EXIT
trap 'exit 130' INT TERM
bench_start_env
RESULTS=$BENCH_WORK/shapes.tsv
g++ -std=c++20 -O2 -I"$SRC" -o "$BENCH_WORK/stream_probe" "$BENCH_DIR/stream_probe.cpp" \
  "$BUILD/libtaktola_sound.a" "$BUILD/libtaktola_core.a" $(pkg-config --cflags --libs sdl2) \
  -lpulse-simple -lpulse -pthread || bench_die "cannot build stream_probe"

run_shape() {
  local shape=$1 args=() envs=(SDL_AUDIODRIVER=pulseaudio) kv k v
  IFS=, read -ra kv <<<"$shape"
  for k in "${kv[@]}"; do
    v=${k#*=}
    k=${k%%=*}
    case $k in
      player | samples | rate | format | channels | allow) args+=("--$k" "$v") ;;
      latency) envs+=("PULSE_LATENCY_MSEC=$v") ;;
      driver) envs+=("SDL_AUDIODRIVER=$v") ;;
      *) bench_die "unknown shape key $k" ;;
    esac
  done
  local out=$BENCH_WORK/probe.out
  env "${envs[@]}" timeout $((WINDOW + EDITS + 30)) "$BENCH_WORK/stream_probe" "${args[@]}" \
    --server-pid "$PA_PID" --window "$WINDOW" --edits "$EDITS" >"$out" 2>"$BENCH_WORK/probe.err" &
  local probe=$!
  BENCH_PIDS+=("$probe")
  sleep 5
  local sink
  sink=$(timeout 5 pactl list sinks | awk '/Latency:/ && /configured/{print $(NF-1) / 1000; exit}')
  wait "$probe"
  local line
  line=$(cat "$out")
  [[ $line == *edit_ms_median=* ]] || { bench_log "  $shape failed: $(tail -1 "$BENCH_WORK/probe.err")"; return; }
  local server edit switches
  server=$(sed -n 's/.*server_s_per_min=\([-0-9.]*\).*/\1/p' <<<"$line")
  switches=$(sed -n 's/.*server_switches_per_s=\([-0-9.]*\).*/\1/p' <<<"$line")
  edit=$(sed -n 's/.*edit_ms_median=\([-0-9.]*\).*/\1/p' <<<"$line")
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$ROUND" "$shape" "$(awk -v s="$server" -v i="$PA_IDLE" 'BEGIN{printf "%.3f", s - i}')" \
    "$edit" "${sink:-NA}" "$switches" "$line" >>"$RESULTS"
  bench_log "  $shape: server $server s/min (idle $PA_IDLE), $switches switches/s, edit median $edit ms, sink latency ${sink:-?} ms"
}

bench_log "$ROUNDS rounds of ${#SHAPES[@]} shapes, ${WINDOW} s windows, $EDITS edits"
for ((ROUND = 1; ROUND <= ROUNDS; ROUND++)); do
  bench_log "round $ROUND, load $(cut -d' ' -f1-3 /proc/loadavg)"
  p0=$(bench_cpu "$PA_PID"); t0=$(bench_now)
  sleep 10
  p1=$(bench_cpu "$PA_PID"); t1=$(bench_now)
  PA_IDLE=$(bench_per_minute "$p0" "$p1" "$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')")
  n=${#SHAPES[@]}
  for ((j = 0; j < n; j++)); do run_shape "${SHAPES[$(((j + ROUND - 1) % n))]}"; done
done
bench_log "done, load $(cut -d' ' -f1-3 /proc/loadavg)"

awk -F'\t' '
  function sorted(list, a,   k, i, j, t) {
    k = split(list, a, " ")
    for (i = 2; i <= k; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] + 0 > t + 0; j--) a[j + 1] = a[j]; a[j + 1] = t }
    return k
  }
  function stat(list, f,   a, k) { k = sorted(list, a); if (k == 0) return "-"; return sprintf(f " [" f "-" f "]", (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2, a[1], a[k]) }
  !($2 in seen) { seen[$2] = 1; order[++n] = $2 }
  { cpu[$2] = cpu[$2] " " $3; edit[$2] = edit[$2] " " $4; if ($5 != "NA") sink[$2] = sink[$2] " " $5; sw[$2] = sw[$2] " " $6; rounds[$2]++ }
  END {
    print "| shape | server CPU above idle (s/min) | server context switches (/s) | edit at the server (ms) | sink latency (ms) | rounds |"
    print "|---|---|---|---|---|---|"
    for (i = 1; i <= n; i++) { s = order[i]; printf "| %s | %s | %s | %s | %s | %d |\n", s, stat(cpu[s], "%.2f"), stat(sw[s], "%.0f"), stat(edit[s], "%.1f"), stat(sink[s], "%.1f"), rounds[s] }
  }' "$RESULTS"
echo
echo "raw lines:"
cat "$RESULTS"
