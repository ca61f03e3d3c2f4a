#!/usr/bin/env bash
# Installs the Debian packages of the named lists that are not installed yet:
#   setup.sh run         building and running (tools/packages-run.txt)
#   setup.sh run test    ... and the tests (tools/packages-test.txt)
#   setup.sh run deb     ... and making the Debian package (tools/packages-deb.txt)
# Runs apt-get directly as root, through sudo otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ $# -eq 0 ]; then
  echo "usage: $0 LIST... (lists: $(cd "$here" && ls packages-*.txt | sed 's/^packages-//; s/\.txt$//' | tr '\n' ' '))" >&2
  exit 2
fi
wanted=()
for list in "$@"; do
  file="$here/packages-$list.txt"
  [ -f "$file" ] || { echo "setup: no package list '$list' ($file)" >&2; exit 2; }
  mapfile -t -O "${#wanted[@]}" wanted < <(grep -v -E '^\s*(#|$)' "$file")
done
missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "==> setup: all ${#wanted[@]} packages ($*) are installed"
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: not root and no sudo; install as root: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "==> setup: installing ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
