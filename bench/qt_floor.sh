#!/usr/bin/env bash
# TAKTOLA's start-up and memory beside the floor its libraries set: bench/qt_floor (a bare
# window with the same Qt modules, SDL2 and libpulse linked in). Both start on one private
# Xvfb, in turns over several rounds (the one that goes first alternates); medians, ranges
# and the ratio. Run by hand:
#
#   bench/qt_floor.sh [-r ROUNDS] BUILD_DIR
set -uo pipefail
ROUNDS=7
while getopts "r:h" opt; do
  case $opt in
    r) ROUNDS=$OPTARG ;;
    *) sed -n '2,7p' "$0"; exit 64 ;;
  esac
done
shift $((OPTIND - 1))
BUILD=$(readlink -f "${1:?usage: qt_floor.sh [-r ROUNDS] BUILD_DIR}")
[[ -x $BUILD/taktola && -x $BUILD/bench/qt_floor ]] || { echo "$BUILD has no taktola and bench/qt_floor" >&2; exit 64; }
source "$(dirname "$0")/audio_bench_env.sh"
bench_check_tools
trap bench_cleanup EXIT
trap 'exit 130' INT TERM
bench_start_env
RESULTS=$BENCH_WORK/floor.tsv

one() {
  local name=$1 bin=$2 home=$BENCH_WORK/home-$1-$3 pid win ms
  mkdir -p "$home"
  read -r pid win ms < <(timeout 30 "$PROBE" launch 20000 "$BENCH_WORK/$name.log" "$BENCH_WORK/$name.pid" -- \
    env HOME="$home" SDL_AUDIODRIVER=dummy "$bin")
  [[ -s $BENCH_WORK/$name.pid ]] && pid=$(<"$BENCH_WORK/$name.pid")
  sleep 2
  if [[ -n ${pid:-} && ${win:-0} != 0 ]]; then
    printf '%s\tstartup_ms\t%s\n' "$name" "$ms" >>"$RESULTS"
    awk -v n="$name" '/^VmHWM:/{printf "%s\tvmhwm_mib\t%.1f\n", n, $2 / 1024}' "/proc/$pid/status" >>"$RESULTS"
    awk -v n="$name" '/^Private_Dirty:/{printf "%s\tprivate_dirty_mib\t%.1f\n", n, $2 / 1024}' "/proc/$pid/smaps_rollup" >>"$RESULTS"
  else
    bench_log "$name: no window"
  fi
  bench_end "${pid:-}"
}

for ((round = 1; round <= ROUNDS; round++)); do
  bench_log "round $round"
  if ((round % 2)); then
    one taktola "$BUILD/taktola" "$round"; one floor "$BUILD/bench/qt_floor" "$round"
  else
    one floor "$BUILD/bench/qt_floor" "$round"; one taktola "$BUILD/taktola" "$round"
  fi
done

awk -F'\t' '
  { v[$1, $2] = v[$1, $2] " " $3; keys[$2] = 1 }
  function stats(list,   a, n, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    med = n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    return sprintf("%.1f [%.1f-%.1f] (n=%d)", med, a[1], a[n], n)
  }
  END {
    print "| figure | TAKTOLA | bare window, same libraries | TAKTOLA/bare |"
    print "|---|---|---|---|"
    split("startup_ms vmhwm_mib private_dirty_mib", order, " ")
    for (k = 1; k <= 3; k++) {
      key = order[k]
      s1 = stats(v["taktola", key]); m1 = med
      s2 = stats(v["floor", key]); m2 = med
      printf "| %s | %s | %s | %.2f |\n", key, s1, s2, (m2 > 0 ? m1 / m2 : 0)
    }
  }' "$RESULTS"
