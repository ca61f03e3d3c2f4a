#!/usr/bin/env bash
# Installs what is missing, builds TAKTOLA (the program only: no tests, no benchmarks) and
# starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh" run
"$root/tools/build.sh" -DTAKTOLA_TESTS=OFF -DTAKTOLA_BENCH=OFF
build="${TAKTOLA_BUILD_DIR:-$root/build}"
echo "==> run: $build/taktola"
exec "$build/taktola"
