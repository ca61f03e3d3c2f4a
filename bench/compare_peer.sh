#!/usr/bin/env bash
# TAKTOLA against gtick, another desktop metronome, both at 4/4 and 240 BPM, each alone on a
# private Xvfb display and a PulseAudio null sink, in interleaved rounds (the program that
# goes first alternates). Run by hand; the machine's load at each round is printed, and
# figures taken while other work ran are worth repeating.
#
#   bench/compare_peer.sh [-r ROUNDS] [-w SECONDS] [-o RESULTS.tsv] PATH/TO/taktola
#
# Per program and round:
#   start-up     exec to the MapNotify of its top-level window
#   first sound  the Start button's press (XTEST) to the first non-silent sample that the
#                null sink's monitor hands out; once after launch (the sound system still to
#                be set up) and once more after a Stop ("again")
#   CPU          time on the CPU (schedstat) over SECONDS of playing, as seconds per minute: the
#                program, its main (window) thread, the sound server less its idle rate, Xvfb;
#                the same with the window unmapped (what a window manager does on minimise),
#                and after Stop
#   memory       VmHWM; Pss, Pss_Anon, Private_Dirty from smaps_rollup; the resident size of
#                shared libraries and of the program's own file, from smaps
# Needs gtick (apt-get install gtick) and what bench/audio_bench_env.sh lists.
set -uo pipefail

ROUNDS=5
WINDOW=20
RESULTS=""
while getopts "r:w:o:h" opt; do
  case $opt in
    r) ROUNDS=$OPTARG ;;
    w) WINDOW=$OPTARG ;;
    o) RESULTS=$OPTARG ;;
    *) sed -n '2,20p' "$0"; exit 64 ;;
  esac
done
shift $((OPTIND - 1))
TAKTOLA=${1:?usage: compare_peer.sh [-r ROUNDS] [-w SECONDS] [-o RESULTS.tsv] PATH/TO/taktola}
[[ -x $TAKTOLA ]] || { echo "not an executable: $TAKTOLA" >&2; exit 64; }
TAKTOLA=$(readlink -f "$TAKTOLA")
GTICK=${GTICK:-$(command -v gtick)}
[[ -n $GTICK ]] || { echo "gtick is not installed (apt-get install gtick)" >&2; exit 64; }

source "$(dirname "$0")/audio_bench_env.sh"
bench_check_tools
trap bench_cleanup EXIT
trap 'exit 130' INT TERM
bench_start_env
[[ -n $RESULTS ]] || RESULTS=$BENCH_WORK/results.tsv
: >"$RESULTS"
IDLE=10     # seconds of the idle baseline per round
SETTLE=3    # seconds after a change before a window is measured

emit() { printf '%s\t%s\t%s\t%s\n' "$ROUND" "$1" "$2" "$3" >>"$RESULTS"; }

# Where each program's controls are, in its window's coordinates (no window manager, so the
# client area is the window); gtick's one button toggles Start and Stop.
declare -A START_X=([taktola]=45 [gtick]=212) START_Y=([taktola]=296 [gtick]=253)
declare -A STOP_X=([taktola]=130 [gtick]=212) STOP_Y=([taktola]=296 [gtick]=253)

click() { timeout 5 xdotool mousemove --window "$1" "$2" "$3" click 1; }

# The idle rates of the sound server and of Xvfb, with no client.
measure_idle() {
  local p0 x0 t0 p1 x1 t1
  p0=$(bench_cpu "$PA_PID"); x0=$(bench_cpu "$XVFB_PID"); t0=$(bench_now)
  sleep "$IDLE"
  p1=$(bench_cpu "$PA_PID"); x1=$(bench_cpu "$XVFB_PID"); t1=$(bench_now)
  local s
  s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')
  PA_IDLE=$(bench_per_minute "$p0" "$p1" "$s")
  emit server idle_pa "$PA_IDLE"
  emit server idle_x "$(bench_per_minute "$x0" "$x1" "$s")"
}

# CPU over one window: the program, its main thread, the server above idle, Xvfb.
measure_window() {
  local prog=$1 pid=$2 tag=$3
  local c0 m0 p0 x0 w0 t0 c1 m1 p1 x1 w1 t1 s
  c0=$(bench_cpu "$pid"); m0=$(bench_cpu "$pid" "$pid"); p0=$(bench_cpu "$PA_PID"); x0=$(bench_cpu "$XVFB_PID")
  w0=$(bench_switches "$PA_PID"); t0=$(bench_now)
  sleep "$WINDOW"
  c1=$(bench_cpu "$pid"); m1=$(bench_cpu "$pid" "$pid"); p1=$(bench_cpu "$PA_PID"); x1=$(bench_cpu "$XVFB_PID")
  w1=$(bench_switches "$PA_PID"); t1=$(bench_now)
  s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{print b-a}')
  emit "$prog" "${tag}_cpu" "$(bench_per_minute "$c0" "$c1" "$s")"
  emit "$prog" "${tag}_main" "$(bench_per_minute "$m0" "$m1" "$s")"
  emit "$prog" "${tag}_pa" "$(awk -v v="$(bench_per_minute "$p0" "$p1" "$s")" -v i="$PA_IDLE" 'BEGIN{printf "%.3f", v - i}')"
  emit "$prog" "${tag}_x" "$(bench_per_minute "$x0" "$x1" "$s")"
  emit "$prog" "${tag}_pa_switches" "$(awk -v a="$w0" -v b="$w1" -v s="$s" 'BEGIN{printf "%.0f", (b - a) / s}')"
}

measure_memory() {
  local prog=$1 pid=$2 exe
  exe=$(readlink "/proc/$pid/exe")
  emit "$prog" vmhwm_mib "$(awk '/^VmHWM:/{printf "%.1f", $2/1024}' "/proc/$pid/status")"
  emit "$prog" pss_mib "$(awk '/^Pss:/{printf "%.1f", $2/1024}' "/proc/$pid/smaps_rollup")"
  emit "$prog" pss_anon_mib "$(awk '/^Pss_Anon:/{printf "%.1f", $2/1024}' "/proc/$pid/smaps_rollup")"
  emit "$prog" private_dirty_mib "$(awk '/^Private_Dirty:/{printf "%.1f", $2/1024}' "/proc/$pid/smaps_rollup")"
  # Resident pages by what they map: shared libraries, and the program's own file.
  awk -v exe="$exe" '
    /^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6) ? $6 : "" }
    /^Rss:/ { if (name ~ /\.so(\.[0-9.]+)?$/) lib += $2; else if (name == exe) own += $2 }
    END { printf "%.1f %.1f\n", lib/1024, own/1024 }' "/proc/$pid/smaps" | {
    read -r lib own
    emit "$prog" rss_libs_mib "$lib"
    emit "$prog" rss_own_file_mib "$own"
  }
}

first_sound() {
  local prog=$1 win=$2 tag=$3 first interval
  read -r first interval < <(timeout 15 "$PROBE" firstsound bench.monitor "$win" "${START_X[$prog]}" "${START_Y[$prog]}" 5000 || echo "-1 -1")
  emit "$prog" "$tag" "${first:--1}"
  # 240 BPM: a beat every 250 ms. Anything else means the tempo was not set.
  if [[ ${interval:--1} == -1 ]] || ! awk -v i="$interval" 'BEGIN{exit !(i > 240 && i < 260)}'; then
    bench_log "$prog: tempo check failed (beat interval ${interval:-none} ms, expected 250)"
    emit "$prog" tempo_check_failed 1
  fi
}

run_program() {
  local prog=$1 home=$BENCH_WORK/home-$1-$ROUND pid win startup
  mkdir -p "$home"
  local cmd
  case $prog in
    taktola) cmd=(env HOME="$home" SDL_AUDIODRIVER=pulseaudio "$TAKTOLA") ;;
    gtick)
      # gtick keeps its settings in ~/.gtickrc: 240 BPM, four beats with the first accented.
      printf 'Speed = 240\nMeter = 4\nAccents = 1000\nVolume = 100\n' >"$home/.gtickrc"
      cmd=(env HOME="$home" "$GTICK")
      ;;
  esac
  local pidfile=$BENCH_WORK/$prog-$ROUND.pid
  read -r pid win startup < <(timeout 30 "$PROBE" launch 20000 "$BENCH_WORK/$prog-$ROUND.log" "$pidfile" -- "${cmd[@]}")
  [[ -s $pidfile ]] && pid=$(<"$pidfile")
  [[ -n ${pid:-} ]] && BENCH_PIDS+=("$pid")
  if [[ -z ${win:-} || $win == 0 ]]; then
    bench_log "$prog: no window within 20 s"
    bench_end "${pid:-}"
    return 1
  fi
  emit "$prog" startup_ms "$startup"
  sleep 2
  [[ $prog == taktola ]] && bench_taktola_tempo "$win" 240
  first_sound "$prog" "$win" first_sound_ms
  sleep "$SETTLE"
  local buffered sinklat
  read -r buffered sinklat < <(bench_stream_latency)
  emit "$prog" stream_buffer_ms "$buffered"
  emit "$prog" stream_sink_ms "$sinklat"
  measure_window "$prog" "$pid" play

  timeout 5 xdotool windowunmap --sync "$win"
  sleep "$SETTLE"
  measure_window "$prog" "$pid" hidden
  timeout 5 xdotool windowmap --sync "$win"
  sleep 1

  click "$win" "${STOP_X[$prog]}" "${STOP_Y[$prog]}"
  sleep "$SETTLE"
  emit "$prog" streams_after_stop "$(bench_sink_inputs | wc -l)"
  measure_window "$prog" "$pid" stopped

  first_sound "$prog" "$win" first_sound_again_ms
  sleep 1
  click "$win" "${STOP_X[$prog]}" "${STOP_Y[$prog]}"
  sleep 1
  measure_memory "$prog" "$pid"
  bench_end "$pid"
}

bench_log "TAKTOLA: $TAKTOLA"
bench_log "gtick: $GTICK ($(dpkg-query -W -f='${Version}' gtick 2>/dev/null))"
bench_log "$ROUNDS rounds, ${WINDOW} s windows; results in $RESULTS"
for ((ROUND = 1; ROUND <= ROUNDS; ROUND++)); do
  bench_log "round $ROUND, load $(cut -d' ' -f1-3 /proc/loadavg)"
  emit machine load1 "$(cut -d' ' -f1 /proc/loadavg)"
  measure_idle
  if ((ROUND % 2)); then order=(taktola gtick); else order=(gtick taktola); fi
  for prog in "${order[@]}"; do
    bench_log "  $prog"
    run_program "$prog"
    sleep 1
  done
done
bench_log "done, load $(cut -d' ' -f1-3 /proc/loadavg)"

# The table: median [min-max] over the rounds, and the ratio of the medians.
awk -F'\t' '
  function median(list, n,   a, i, j, t, k) {
    k = split(list, a, " ")
    for (i = 2; i <= k; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] + 0 > t + 0; j--) a[j + 1] = a[j]; a[j + 1] = t }
    lo = a[1]; hi = a[k]
    return (k % 2) ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
  }
  function cell(p, m,   v) {
    if (!((p, m) in vals)) return "-"
    v = median(vals[p, m])
    med[p] = v
    return sprintf("%.*f [%.*f-%.*f] (n=%d)", dig[m], v, dig[m], lo, dig[m], hi, cnt[p, m])
  }
  {
    if ($4 == "" || $4 == "NA" || $4 == -1) next
    vals[$2, $3] = vals[$2, $3] " " $4; cnt[$2, $3]++
  }
  END {
    n = split("startup_ms first_sound_ms first_sound_again_ms stream_buffer_ms stream_sink_ms play_cpu play_main play_pa play_pa_switches play_x hidden_cpu hidden_main hidden_pa hidden_x stopped_cpu stopped_main stopped_pa stopped_pa_switches stopped_x streams_after_stop vmhwm_mib pss_mib pss_anon_mib private_dirty_mib rss_libs_mib rss_own_file_mib", order, " ")
    split("start-up to mapped window (ms)|Start press to first sound at the server (ms)|the same, second Start after a Stop (ms)|its stream: buffer latency the server reports (ms)|its stream: sink latency the server reports (ms)|CPU playing, program (s/min)|CPU playing, main (window) thread (s/min)|CPU playing, sound server above idle (s/min)|sound server context switches playing (/s)|CPU playing, Xvfb (s/min)|CPU hidden, program (s/min)|CPU hidden, main thread (s/min)|CPU hidden, sound server above idle (s/min)|CPU hidden, Xvfb (s/min)|CPU after Stop, program (s/min)|CPU after Stop, main thread (s/min)|CPU after Stop, sound server above idle (s/min)|sound server context switches after Stop (/s)|CPU after Stop, Xvfb (s/min)|streams open after Stop|peak memory VmHWM (MiB)|Pss (MiB)|Pss_Anon (MiB)|Private_Dirty (MiB)|resident shared libraries (MiB)|resident own executable (MiB)", label, "|")
    for (i = 1; i <= n; i++) dig[order[i]] = (order[i] ~ /_ms$/) ? 1 : (order[i] ~ /_mib$/) ? 1 : (order[i] ~ /streams|switches/) ? 0 : 2
    print "| figure | TAKTOLA | gtick | TAKTOLA/gtick |"
    print "|---|---|---|---|"
    for (i = 1; i <= n; i++) {
      m = order[i]; delete med
      a = cell("taktola", m); b = cell("gtick", m)
      r = ("taktola" in med && "gtick" in med && med["gtick"] != 0) ? sprintf("%.2f", med["taktola"] / med["gtick"]) : "-"
      printf "| %s | %s | %s | %s |\n", label[i], a, b, r
    }
    if (("server", "idle_pa") in vals) printf "\nIdle rates without a client: sound server %s s/min, Xvfb %s s/min (median).\n", median(vals["server", "idle_pa"]), median(vals["server", "idle_x"])
    if (("machine", "load1") in vals) { v = median(vals["machine", "load1"]); printf "Load average (1 min) at the rounds: median %s, %s-%s.\n", v, lo, hi }
    if (("taktola", "tempo_check_failed") in vals || ("gtick", "tempo_check_failed") in vals) print "WARNING: a tempo check failed in some round; see the log."
  }' "$RESULTS"
