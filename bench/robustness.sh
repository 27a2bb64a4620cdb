#!/bin/sh
# robustness.sh - peak memory (and time) of kotobun on the robustness tests' big inputs: random
# bytes read as either encoding, random text in either, one line of 50 MB, one comment line of
# 50 MB. Peak memory must stay that of a small input; the tests assert a bound, this prints the
# figures.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
# BUILD may be a path of its own (make bench BUILD=/abs/path) or a folder of the tree.
case $build in
  /*) bin=$build ;;
  *) bin=$root/$build ;;
esac
makeInput=$bin/tests/robustness/make_test_input
if [ ! -x "$makeInput" ]; then
  echo "robustness figures skipped: $makeInput is not built (BUILD_TESTING is off)"
  exit 0
fi

# Prints LABEL, then the wall time, peak memory and status of COMMAND [ARG...].
report() {
  label=$1
  shift
  "$bin/bench/measure" "$@" |
    awk -v label="$label" '{ printf "%-28s %8.3f s  peak %6d KB  status %d\n", label, $1, $2, $3 }'
}

echo
echo "kotobun on the robustness tests' inputs:"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Random bytes end the run with a message within their first few hundred bytes: what counts here
# is that the peak stays that of a small file.
"$makeInput" random 1 200 random.kjx
for encoding in EUC MSKanji; do
  report "kotobun random /$encoding" "$bin/converter/kotobun" random "/$encoding"
done
rm -f random.kjx random.tex

# Random text runs whole; its document goes to /dev/null.
for pair in EUC:euc MSKanji:sjis; do
  encoding=${pair%%:*}
  "$makeInput" text 1 50 "${pair#*:}" "$encoding.kjx"
  ln -s /dev/null "$encoding.tex"
  report "kotobun random text /$encoding" "$bin/converter/kotobun" "$encoding" "/$encoding"
  rm -f "$encoding.kjx" "$encoding.tex"
done

"$makeInput" line 50 line.kjx
report "kotobun one 50 MB line" "$bin/converter/kotobun" line
rm -f line.kjx line.tex

"$makeInput" comments 1 50000000 comment.kjx
report "kotobun 50 MB comment line" "$bin/converter/kotobun" comment
