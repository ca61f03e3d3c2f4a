#!/usr/bin/env bash
# Installs what is missing, builds TAKTOLA and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
build="${TAKTOLA_BUILD_DIR:-$root/build}"
echo "==> run: $build/taktola"
exec "$build/taktola"
