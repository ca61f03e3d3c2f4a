#!/usr/bin/env bash
# Makes the nine spoken counts in resources/voices/ with espeak-ng and sox:
# English "one" to "four", Japanese zero to four (the ja voice reads kana).
# Each is 44100 Hz mono 16-bit PCM with the canonical 44-byte header, trimmed so the
# count starts on its first samples (it must land on its beat), peaking at -6 dBFS like
# a "Normal" sine note, and far shorter than the shortest measure (33075 samples).
# The output is deterministic: sox runs with -R (no dither noise) and no random effects.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/resources/voices"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

make() {  # name voice text
  local name=$1 voice=$2 text=$3
  espeak-ng -v "$voice" -s 150 -w "$tmp/$name.raw.wav" "$text"
  # Trim silence at both ends (threshold 0.5%), bring to 44.1 kHz mono 16 bit, peak -6 dBFS.
  # sox writes the canonical 44-byte header for this format.
  sox -R "$tmp/$name.raw.wav" -r 44100 -c 1 -b 16 -e signed-integer "$out/$name.wav" \
      silence 1 0.002 0.5% reverse silence 1 0.01 0.5% reverse norm -6
  printf '%-11s %-6s %-5s %6d samples\n' "$name" "$voice" "$text" $(( ($(stat -c %s "$out/$name.wav") - 44) / 2 ))
}

make EN_NUM0_01 en-us one
make EN_NUM0_02 en-us two
make EN_NUM0_03 en-us three
make EN_NUM0_04 en-us four
make JA_NUM0_00 ja ぜろ
make JA_NUM0_01 ja いち
make JA_NUM0_02 ja に
make JA_NUM0_03 ja さん
make JA_NUM0_04 ja よん
