#!/usr/bin/env bash
# Installs the Debian packages listed in tools/packages.txt that are not installed yet.
# Runs apt-get directly as root, through sudo otherwise.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "==> setup: all ${#wanted[@]} packages are installed"
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
