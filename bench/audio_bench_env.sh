# A private X display (Xvfb) and sound server (PulseAudio with a null sink named "bench") for
# the sound benchmarks, and the CPU readings they take. Sourced by compare_peer.sh and
# stream_shapes.sh; nothing here touches the user's own display or sound server.
#
# Needs: xvfb, pulseaudio, pulseaudio-utils, xdotool, a C compiler, libx11-dev, libxtst-dev,
# libpulse-dev.

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BENCH_PIDS=()  # everything started here, ended by bench_cleanup

bench_log() { printf '%s %s\n' "$(date +%T)" "$*" >&2; }
bench_die() { bench_log "error: $*"; exit 1; }

bench_check_tools() {
  local missing=()
  for t in Xvfb pulseaudio pactl xdotool cc timeout; do command -v "$t" >/dev/null || missing+=("$t"); done
  for h in X11/extensions/XTest.h pulse/simple.h X11/Xlib.h; do [[ -e /usr/include/$h ]] || missing+=("$h"); done
  ((${#missing[@]} == 0)) || bench_die "missing: ${missing[*]} (apt-get install xvfb pulseaudio pulseaudio-utils xdotool gcc libx11-dev libxtst-dev libpulse-dev)"
}

# The work directory, the display and the sound server; exports what the programs need.
bench_start_env() {
  BENCH_WORK=$(mktemp -d /tmp/audio-bench.XXXXXX)
  mkdir -p "$BENCH_WORK/run" "$BENCH_WORK/home"
  chmod 700 "$BENCH_WORK/run"
  cc -O2 -o "$BENCH_WORK/peer_probe" "$BENCH_DIR/peer_probe.c" -lX11 -lXtst -lpulse-simple -lpulse ||
    bench_die "cannot build peer_probe"
  PROBE=$BENCH_WORK/peer_probe

  local n
  for n in $(seq 91 199); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || break
  done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >"$BENCH_WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  BENCH_PIDS+=("$XVFB_PID")
  export DISPLAY=":$n"
  local i
  for i in $(seq 50); do
    timeout 2 xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
  done
  # Another Xvfb that took the same number meanwhile would be measured instead: ours must live.
  kill -0 "$XVFB_PID" 2>/dev/null && timeout 2 xdotool getdisplaygeometry >/dev/null 2>&1 ||
    bench_die "Xvfb did not come up on $DISPLAY"

  export XDG_RUNTIME_DIR=$BENCH_WORK/run
  export PULSE_SERVER=unix:$BENCH_WORK/run/pulse.sock
  unset DBUS_SESSION_BUS_ADDRESS PULSE_LATENCY_MSEC
  # -n: none of the system's default.pa, so no real card, no other module and no autospawn.
  HOME=$BENCH_WORK/home pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --use-pid-file=no \
    --load="module-native-protocol-unix socket=$BENCH_WORK/run/pulse.sock auth-anonymous=1" \
    --load="module-null-sink sink_name=bench" \
    --log-target=file:"$BENCH_WORK/pulse.log" >/dev/null 2>&1 &
  PA_PID=$!
  BENCH_PIDS+=("$PA_PID")
  for i in $(seq 50); do
    timeout 2 pactl info >/dev/null 2>&1 && break
    sleep 0.1
  done
  timeout 5 pactl set-default-sink bench >/dev/null 2>&1 || bench_die "PulseAudio did not come up"
  bench_log "display $DISPLAY, sound server pid $PA_PID ($(pactl list short sinks | awk '$2=="bench"{print $4,$5,$6}'))"
}

# Ends a process started here: TERM, then KILL after a grace period.
bench_end() {
  local pid=$1 i
  [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null
  for i in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  sleep 0.1
}

bench_cleanup() {
  local pid
  for ((i = ${#BENCH_PIDS[@]} - 1; i >= 0; i--)); do bench_end "${BENCH_PIDS[i]}"; done
  wait 2>/dev/null
  [[ -n ${BENCH_WORK:-} && -d $BENCH_WORK ]] && rm -rf "$BENCH_WORK"
}

# A reading of CPU time: "tid=nanoseconds" for each live thread of a process, or for the one
# thread TID. The scheduler's own account (schedstat), exact to the nanosecond; utime and
# stime count 10 ms ticks, and a thread that wakes for a few microseconds right after each
# tick may never be charged one.
bench_cpu() {
  local files=(/proc/"$1"/task/*/schedstat)
  [[ -n ${2:-} ]] && files=(/proc/"$1"/task/"$2"/schedstat)
  awk '{split(FILENAME, p, "/"); printf "%s=%s ", p[5], $1} END{print ""}' "${files[@]}" 2>/dev/null | grep . || echo NA
}

# Context switches of all of a process's threads: how often it woke, which unlike its CPU
# time does not depend on how busy the machine is.
bench_switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches:/{n += $2} END{print n + 0}'
}

bench_now() { date +%s.%N; }

# Seconds of CPU per minute from two bench_cpu readings over `seconds` of wall time: the
# threads' growth, a thread started in between counted whole, one ended in between not at all.
bench_per_minute() {
  awk -v a="$1" -v b="$2" -v s="$3" 'BEGIN {
    if (a == "NA" || b == "NA" || s <= 0) { print "NA"; exit }
    n = split(a, x, " "); for (i = 1; i <= n; i++) { split(x[i], kv, "="); before[kv[1]] = kv[2] }
    n = split(b, y, " "); for (i = 1; i <= n; i++) { split(y[i], kv, "="); ns += kv[2] - before[kv[1]] }
    printf "%.3f", ns / 1e9 / s * 60 }'
}

# The buffer and sink latency (ms) the server reports for its one sink input.
bench_stream_latency() {
  timeout 5 pactl list sink-inputs 2>/dev/null |
    awk '/Buffer Latency:/{b = $3 / 1000} /Sink Latency:/{s = $3 / 1000} END{if (b != "") printf "%.1f %.1f\n", b, s; else print "NA NA"}'
}

# Which sink inputs the server has: one "index application" line each.
bench_sink_inputs() {
  timeout 5 pactl list sink-inputs 2>/dev/null |
    awk '/^Sink Input #/{i=substr($3,2)} /application.name = /{sub(/.*= /,""); gsub(/"/,""); print i, $0}'
}

# Sets TAKTOLA's tempo field in window WIN (no window manager: client coordinates) to BPM:
# selects what it holds, types, and leaves it so the change is taken.
bench_taktola_tempo() {
  timeout 5 xdotool mousemove --window "$1" 420 25 click 1
  sleep 0.2
  timeout 5 xdotool key ctrl+a
  timeout 5 xdotool type "$2"
  timeout 5 xdotool key Tab
  sleep 0.5
}
