#!/usr/bin/env bash
# Prints the benchmark figures: throughput and peak memory of each program on large inputs.
# Memory must stay the same however large the input is, so each input is measured at two sizes.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/$build
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

for megabytes in 10 100; do
  "$bin/bench/make_input" japanese $megabytes "text$megabytes.kjx"
  "$bin/bench/measure" "kotobun ${megabytes} MB (two passes)" "text$megabytes.kjx" \
    "$bin/converter/kotobun" "text$megabytes"
  cat "text$megabytes.kjx" > /dev/null
  "$bin/bench/measure" "cat (reading it once)" "text$megabytes.kjx" cat "text$megabytes.kjx"
  rm -f "text$megabytes.kjx" "text$megabytes.tex"
done

if [ -x "$bin/viewer/skimpo" ]; then
  for megabytes in 10 100; do
    "$bin/bench/make_input" ps $megabytes "page$megabytes.ps"
    "$bin/bench/measure" "skimpo ${megabytes} MB" "page$megabytes.ps" "$bin/viewer/skimpo" "page$megabytes.ps"
    "$bin/bench/measure" "cat (reading it once)" "page$megabytes.ps" cat "page$megabytes.ps"
    rm -f "page$megabytes.ps"
  done
fi

if [ -x "$bin/fonttables/fonttables" ]; then
  "$bin/bench/measure" "fonttables" /dev/null "$bin/fonttables/fonttables"
fi

sh "$root/bench/robustness.sh" "$build"
