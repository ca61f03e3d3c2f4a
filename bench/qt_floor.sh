#!/usr/bin/env bash
# TAKTOLA's start-up and memory beside the floor its libraries set: bench/qt_floor (a bare
# window with the same Qt modules linked in). Both start on one private
# Xvfb, in turns over several rounds (the one that goes first alternates); medians, ranges
# and the ratio. Then, playing: TAKTOLA at 4/4 and 240 BPM (its playhead moves 64 times a
# second) against the bare window moving the same playhead as often (qt_floor --playhead)
# and waking as often without painting (--wake), and against bench/x_floor, an X client
# without a toolkit that moves it as cheaply as X allows; the program's CPU (all its threads),
# its window thread's and Xvfb's, over SECONDS each. Run by hand:
#
#   bench/qt_floor.sh [-r ROUNDS] [-w SECONDS] BUILD_DIR
set -uo pipefail
ROUNDS=7
WINDOW=15
while getopts "r:w:h" opt; do
  case $opt in
    r) ROUNDS=$OPTARG ;;
    w) WINDOW=$OPTARG ;;
    *) sed -n '2,12p' "$0"; exit 64 ;;
  esac
done
shift $((OPTIND - 1))
BUILD=$(readlink -f "${1:?usage: qt_floor.sh [-r ROUNDS] BUILD_DIR}")
[[ -x $BUILD/taktola && -x $BUILD/bench/qt_floor && -x $BUILD/bench/x_floor ]] ||
  { echo "$BUILD has no taktola, bench/qt_floor and bench/x_floor" >&2; exit 64; }
source "$(dirname "$0")/audio_bench_env.sh"
bench_check_tools
trap bench_cleanup EXIT
trap 'exit 130' INT TERM
bench_start_env
RESULTS=$BENCH_WORK/floor.tsv

# Starts NAME (BIN ARGS...) with a fresh home; sets PID, WIN and MS (start-up to a mapped window).
launch() {
  local name=$1 home=$BENCH_WORK/home-$1-$ROUND
  shift
  mkdir -p "$home"
  PID= WIN= MS=
  read -r PID WIN MS < <(timeout 30 "$PROBE" launch 20000 "$BENCH_WORK/$name.log" "$BENCH_WORK/$name.pid" -- \
    env HOME="$home" SDL_AUDIODRIVER=dummy "$@")
  [[ -s $BENCH_WORK/$name.pid ]] && PID=$(<"$BENCH_WORK/$name.pid")
  [[ -n $PID ]] && BENCH_PIDS+=("$PID")
  if [[ -z $PID || ${WIN:-0} == 0 ]]; then
    bench_log "$name: no window"
    bench_end "$PID"
    return 1
  fi
}

at_rest() {
  local name=$1
  launch "$@" || return
  printf '%s\tstartup_ms\t%s\n' "$name" "$MS" >>"$RESULTS"
  sleep 2
  awk -v n="$name" '/^VmHWM:/{printf "%s\tvmhwm_mib\t%.1f\n", n, $2 / 1024}' "/proc/$PID/status" >>"$RESULTS"
  awk -v n="$name" '/^Private_Dirty:/{printf "%s\tprivate_dirty_mib\t%.1f\n", n, $2 / 1024}' "/proc/$PID/smaps_rollup" >>"$RESULTS"
  bench_end "$PID"
}

playing() {
  local name=$1 c0 m0 x0 t0 c1 m1 x1 t1 s
  launch "$@" || return
  sleep 2
  if [[ $name == taktola ]]; then
    bench_taktola_tempo "$WIN" 240
    timeout 5 xdotool mousemove --window "$WIN" 45 296 click 1  # Start
  fi
  sleep 2
  c0=$(bench_cpu "$PID"); m0=$(bench_cpu "$PID" "$PID"); x0=$(bench_cpu "$XVFB_PID"); t0=$(bench_now)
  sleep "$WINDOW"
  c1=$(bench_cpu "$PID"); m1=$(bench_cpu "$PID" "$PID"); x1=$(bench_cpu "$XVFB_PID"); t1=$(bench_now)
  s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')
  printf '%s\tprogram_s_per_min\t%s\n' "$name" "$(bench_per_minute "$c0" "$c1" "$s")" >>"$RESULTS"
  printf '%s\twindow_thread_s_per_min\t%s\n' "$name" "$(bench_per_minute "$m0" "$m1" "$s")" >>"$RESULTS"
  printf '%s\txvfb_s_per_min\t%s\n' "$name" "$(bench_per_minute "$x0" "$x1" "$s")" >>"$RESULTS"
  bench_end "$PID"
}

for ((ROUND = 1; ROUND <= ROUNDS; ROUND++)); do
  bench_log "round $ROUND"
  if ((ROUND % 2)); then
    at_rest taktola "$BUILD/taktola"; at_rest floor "$BUILD/bench/qt_floor"
  else
    at_rest floor "$BUILD/bench/qt_floor"; at_rest taktola "$BUILD/taktola"
  fi
  order=(taktola playhead wake xclient)
  ((ROUND % 2)) || order=(xclient wake playhead taktola)
  for name in "${order[@]}"; do
    case $name in
      taktola) playing taktola "$BUILD/taktola" ;;
      playhead) playing playhead "$BUILD/bench/qt_floor" --playhead ;;
      wake) playing wake "$BUILD/bench/qt_floor" --wake ;;
      xclient) playing xclient "$BUILD/bench/x_floor" ;;
    esac
  done
done

awk -F'\t' '
  { v[$1, $2] = v[$1, $2] " " $3 }
  function stats(list, f,   a, n, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    med = n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    return sprintf(f " [" f "-" f "] (n=%d)", med, a[1], a[n], n)
  }
  # One row: the figure for TAKTOLA and for each of the other runs named, and the
  # ratio of TAKTOLA to the first of them.
  function row(key, fmt, others,   names, n, k, line, m1, m2) {
    line = "| " key " | " stats(v["taktola", key], fmt); m1 = med
    n = split(others, names, " ")
    for (k = 1; k <= n; k++) {
      line = line " | " stats(v[names[k], key], fmt)
      if (k == 1) m2 = med
    }
    printf "%s | %.2f |\n", line, (m2 > 0 ? m1 / m2 : 0)
  }
  END {
    print "| figure | TAKTOLA | bare window, same libraries | TAKTOLA/bare |"
    print "|---|---|---|---|"
    row("startup_ms", "%.1f", "floor"); row("vmhwm_mib", "%.1f", "floor"); row("private_dirty_mib", "%.1f", "floor")
    print ""
    print "| playing, 64 playhead moves a second | TAKTOLA at 240 BPM | bare window, same moves | bare window, same wake-ups, no painting | X client without a toolkit, same moves | TAKTOLA/same moves |"
    print "|---|---|---|---|---|---|"
    row("program_s_per_min", "%.2f", "playhead wake xclient"); row("window_thread_s_per_min", "%.2f", "playhead wake xclient")
    row("xvfb_s_per_min", "%.2f", "playhead wake xclient")
  }' "$RESULTS"
