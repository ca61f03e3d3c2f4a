#!/usr/bin/env bash
# Runs a command beside a private PulseAudio server whose one sink is a null sink in the
# loop's own format (44.1 kHz, 16-bit, mono), so what reaches its monitor is what was played,
# sample for sample. PULSE_SERVER points the command at it; TAKTOLA_TEST_SINK names the sink.
# Exits 77 (skipped) when pulseaudio is not installed.
set -uo pipefail
command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 77; }
work=$(mktemp -d /tmp/taktola-pulse.XXXXXX)
chmod 700 "$work"
pid=""
listener=""
cleanup() {
  [[ -n $listener ]] && kill "$listener" 2>/dev/null && wait "$listener" 2>/dev/null
  [[ -n $pid ]] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home"
export XDG_RUNTIME_DIR=$work PULSE_SERVER=unix:$work/native
unset PULSE_LATENCY_MSEC DBUS_SESSION_BUS_ADDRESS
HOME=$work/home pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --use-pid-file=no \
  --disallow-module-loading --load="module-native-protocol-unix socket=$work/native auth-anonymous=1" \
  --load="module-null-sink sink_name=taktola_test format=s16le rate=44100 channels=1" \
  --log-target=file:"$work/pulse.log" ${TAKTOLA_PULSE_LOG_LEVEL:+--log-level=$TAKTOLA_PULSE_LOG_LEVEL} >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do
  [[ -S $work/native ]] && break
  kill -0 "$pid" 2>/dev/null || { echo "pulseaudio did not start:" >&2; cat "$work/pulse.log" >&2; exit 1; }
  sleep 0.05
done
[[ -S $work/native ]] || { echo "pulseaudio did not open its socket" >&2; exit 1; }
# An idle null sink renders up to two seconds ahead, and a stream that comes later waits until
# the clock has caught up (a sound card's sink takes such a buffer back at once). A listener
# that asks for a short latency from the start, and the time for that lead to run out, give
# the test a sink that runs as a card's would.
command -v parec >/dev/null || { echo "parec is not installed (pulseaudio-utils)" >&2; exit 77; }
parec --latency-msec=5 -d taktola_test.monitor >/dev/null 2>&1 &
listener=$!
sleep 2.2
export TAKTOLA_TEST_SINK=taktola_test
"$@"
