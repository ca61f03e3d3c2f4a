#!/usr/bin/env bash
# Configures and builds TAKTOLA into build/ (Release with debug info). Arguments go to the
# configure step, e.g. -DTAKTOLA_TESTS=OFF; the build dir keeps them until they are given again.
# Ninja builds on all cores; CMAKE_BUILD_PARALLEL_LEVEL=N limits it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAKTOLA_BUILD_DIR:-$root/build}"
echo "==> configure: $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
echo "==> build"
cmake --build "$build"
