#!/usr/bin/env bash
# Configures and builds TAKTOLA into build/ (Release with debug info).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAKTOLA_BUILD_DIR:-$root/build}"
echo "==> configure: $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
echo "==> build"
cmake --build "$build" --parallel
