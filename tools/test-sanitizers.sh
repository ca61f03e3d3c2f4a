#!/usr/bin/env bash
# Builds TAKTOLA with sanitizers and runs tests under them, headless as tools/test.sh does:
#   test-sanitizers.sh asan [CTEST_ARGS...]  AddressSanitizer, LeakSanitizer and
#       UndefinedBehaviorSanitizer: the whole suite, built in build-asan/
#   test-sanitizers.sh tsan [CTEST_ARGS...]  ThreadSanitizer: the tests where the sound thread
#       runs (the SDL player, playback end to end, a lost device, the window's playback),
#       only their programs built, in build-tsan/
# Every report aborts the program that makes it, so the test fails and ctest shows the report.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
[ $# -gt 0 ] && shift

case $mode in
  asan)
    sanitize=address,undefined
    targets=(all)
    ;;
  tsan)
    sanitize=thread
    targets=(test_sdl_player test_sdl_player_nodevice test_playback_e2e test_device_loss_e2e test_ui_playback)
    ;;
  *)
    echo "usage: $0 asan|tsan [CTEST_ARGS...]" >&2
    exit 2
    ;;
esac
build="$root/build-$mode"

"$root/tools/setup.sh" run test

# Also for the build: gtest_discover_tests runs each test program to list its tests.
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:check_initialization_order=1:detect_stack_use_after_return=1
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tools/tsan.supp"

echo "==> configure: $build ($sanitize)"
# -O1 and line tables only: the usual level for sanitizers, and it halves the compile time,
# which is most of CI's time on two cores; the reports still name files and lines.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DTAKTOLA_TESTS=ON -DTAKTOLA_BENCH=OFF -DTAKTOLA_SANITIZE="$sanitize"
echo "==> build: ${targets[*]}"
cmake --build "$build" --target "${targets[@]}"

select=()
if [ "$mode" = tsan ]; then
  # The tests of the programs built, by the program each runs.
  regex=$(ctest --test-dir "$build" --show-only=json-v1 | python3 -c '
import json, os, re, sys
programs = set(sys.argv[1:])
names = []
for test in json.load(sys.stdin)["tests"]:
    program = os.path.basename((test.get("command") or [""])[0])
    if program in programs:
        names.append(re.escape(test["name"]))
print("^(" + "|".join(names) + ")$" if names else "")' "${targets[@]}")
  [ -n "$regex" ] || { echo "test-sanitizers: no playback tests found in $build" >&2; exit 1; }
  select=(-R "$regex")
fi

# Every test's output, also of those that passed, lands in ctest's log.
reports() {
  local log="$build/Testing/Temporary/LastTest.log"
  if grep -q -E 'SUMMARY: [A-Za-z]+Sanitizer' "$log"; then
    echo "test-sanitizers: sanitizer reports in $log:" >&2
    grep -E 'SUMMARY: [A-Za-z]+Sanitizer' "$log" >&2
    exit 1
  fi
}

echo "==> test: ctest in $build under $sanitize"
status=0
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 600 "${select[@]}" "$@" || status=$?
reports
if [ "$status" -ne 0 ]; then
  # No sanitizer report, so a test failed on its own terms; the playback tests measure how
  # soon a loop is heard, which the sanitizers' slowdown on a busy machine can stretch past
  # their bounds. Those failures get one more run, one test at a time; tools/test.sh runs
  # them uninstrumented with no second chance.
  echo "==> test: failed without a sanitizer report; once more, one at a time"
  status=0
  ctest --test-dir "$build" --output-on-failure --timeout 600 --rerun-failed || status=$?
  reports
fi
exit "$status"
