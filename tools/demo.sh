#!/usr/bin/env bash
# Converts the bundled examples into demo/ and, where TeX is installed, typesets them.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/demo
rm -rf "$out"
mkdir -p "$out"
for example in "$root"/examples/*.kjx "$root"/examples/*.jpn; do
  [ -e "$example" ] || continue
  cp "$example" "$out/"
done
cd "$out"
for example in *.kjx *.jpn; do
  [ -e "$example" ] || continue
  "$root/$build/converter/kotobun" "${example%.*}"
done
echo "Converted documents are in $out"
