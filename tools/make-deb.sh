#!/usr/bin/env bash
# Installs what is missing, builds TAKTOLA for release (no tests, no benchmarks) in its own
# build dir, build-deb/, and packs what `cmake --install` installs into a Debian package there.
# Prints the package's path; install it with `apt-get install ./build-deb/taktola_*.deb`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${TAKTOLA_DEB_BUILD_DIR:-$root/build-deb}"
"$root/tools/setup.sh" run deb
echo "==> configure: $build"
# Debian's hardening flags, as its own packages are built with.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAKTOLA_TESTS=OFF -DTAKTOLA_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
echo "==> build"
cmake --build "$build"
echo "==> package"
# An older version's package would match the same wildcard.
rm -f "$build"/taktola_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/taktola_*.deb)
echo "==> package:"
echo "$deb"
