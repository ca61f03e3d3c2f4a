#!/usr/bin/env bash
# Installs what is missing, builds TAKTOLA with its tests and benchmarks and runs the whole
# suite headless: Qt draws offscreen and SDL plays into its dummy driver, so no screen or sound
# card is needed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh" run test
"$root/tools/build.sh" -DTAKTOLA_TESTS=ON -DTAKTOLA_BENCH=ON
build="${TAKTOLA_BUILD_DIR:-$root/build}"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
echo "==> test: ctest in $build"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300
