#!/bin/sh
# Prints the benchmark figures. For each input kotobun converts (EUC with LF or CR LF line ends,
# Shift-JIS with CR LF, and UTF-8 with CR LF made from the EUC text by iconv, so larger; 1 and 64
# MiB of EUC): its wall time, MiB/s of input and peak memory, and its time as a multiple of the
# I/O floor (bench/io_floor: the input read twice, as many bytes written as kotobun wrote, in
# 64 KiB blocks) and of iconv on the same file (to UTF-8, or from UTF-8 to EUC-JP). Then skimpo
# against cat, and kotobun's instructions per input byte under callgrind.
# Every figure is the median of BENCH_RUNS runs (5) after a warm-up; the floor, kotobun and iconv
# take turns in each round, so that a busy machine weighs on all three alike. The files are
# written into the build folder, on the same file system as the build.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
# BUILD may be a path of its own (make bench BUILD=/abs/path) or a folder of the tree.
case $build in
  /*) bin=$build ;;
  *) bin=$root/$build ;;
esac
runs=${BENCH_RUNS:-5}
work=$bin/bench-scratch

fail() {
  echo "make bench: $*" >&2
  exit 1
}

for program in bench/make_input bench/measure bench/io_floor converter/kotobun viewer/skimpo; do
  [ -x "$bin/$program" ] || fail "$bin/$program is missing: build first (make)"
done
command -v iconv >/dev/null || fail "iconv is missing"

rm -rf "$work"
mkdir -p "$work" || fail "cannot create $work"
trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
cd "$work"

# Runs a command once through measure and appends "seconds KiB status" to the file $1.
timed() {
  times=$1
  shift
  "$bin/bench/measure" "$@" >>"$times" || fail "cannot measure $1"
  status=$(tail -n 1 "$times" | cut -d ' ' -f 3)
  [ "$status" = 0 ] || fail "$* ended with status $status"
}

# The median of the first column of a file of timings; the largest of the second with "max".
median() { sort -n "$1" | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
largest() { awk 'BEGIN { m = 0 } $2 > m { m = $2 } END { print m }' "$1"; }

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "make bench, $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc) cores, ${cpu:-unknown CPU}," \
  "$(df -PT "$work" | awk 'NR == 2 { print $2 }') file system; median of $runs runs after a warm-up"
echo
printf '%-15s %5s %8s %7s %6s %8s %7s %8s %7s\n' \
  input MiB seconds MiB/s RSS-MiB floor-s x-floor iconv-s x-iconv

for mebibytes in 1 64; do
  for kind in euc euc-crlf sjis-crlf utf8-crlf; do
    case $kind in
      utf8*)
        # The same text in UTF-8 (iconv then measures the way back to EUC-JP).
        "$bin/bench/make_input" euc-crlf "$mebibytes" text.euc || fail "cannot write the input"
        iconv -f EUC-JP -t UTF-8 text.euc >text.kjx || fail "iconv cannot write the UTF-8 input"
        rm -f text.euc
        ;;
      *) "$bin/bench/make_input" "$kind" "$mebibytes" text.kjx || fail "cannot write the input" ;;
    esac
    case $kind in
      sjis*) option=/MSKanji encoding=SHIFT_JIS target=UTF-8 ;;
      utf8*) option=/UTF8 encoding=UTF-8 target=EUC-JP ;;
      *) option=/EUC encoding=EUC-JP target=UTF-8 ;;
    esac
    rm -f floor.times kotobun.times iconv.times
    # The warm-up puts the input in the page cache and tells the size of the output.
    "$bin/converter/kotobun" text "$option" >/dev/null || fail "kotobun failed on $kind"
    output=$(wc -c <text.tex)
    round=0
    while [ "$round" -le "$runs" ]; do
      [ "$round" = 0 ] && suffix=.warm || suffix=
      timed "floor.times$suffix" "$bin/bench/io_floor" text.kjx floor.out "$output"
      timed "kotobun.times$suffix" "$bin/converter/kotobun" text "$option"
      timed "iconv.times$suffix" iconv -f "$encoding" -t "$target" -o text.utf8 text.kjx
      round=$((round + 1))
    done
    input=$(wc -c <text.kjx)
    awk -v name="$kind" -v input="$input" -v t="$(median kotobun.times)" \
      -v rss="$(largest kotobun.times)" -v floor="$(median floor.times)" \
      -v iconv="$(median iconv.times)" 'BEGIN {
        mib = input / 1048576
        printf "%-15s %5.0f %8.3f %7.1f %6.1f %8.3f %7.2f %8.3f %7.2f\n",
          name, mib, t, mib / t, rss / 1024, floor, t / floor, iconv, t / iconv
      }'
    rm -f text.kjx text.tex text.utf8 floor.out
  done
done

echo
printf '%-15s %5s %8s %7s %8s %7s\n' input MiB seconds MiB/s cat-s x-cat
for mebibytes in 1 64; do
  "$bin/bench/make_input" ps "$mebibytes" page.ps || fail "cannot write the PostScript input"
  rm -f skimpo.times cat.times
  round=0
  while [ "$round" -le "$runs" ]; do
    [ "$round" = 0 ] && suffix=.warm || suffix=
    timed "skimpo.times$suffix" "$bin/viewer/skimpo" page.ps
    timed "cat.times$suffix" cat page.ps
    round=$((round + 1))
  done
  awk -v input="$(wc -c <page.ps)" -v t="$(median skimpo.times)" -v cat="$(median cat.times)" \
    'BEGIN {
      mib = input / 1048576
      printf "%-15s %5.0f %8.3f %7.1f %8.3f %7.2f\n", "skimpo", mib, t, mib / t, cat, t / cat
    }'
  rm -f page.ps
done

# Instructions per input byte, the figure that a busy machine does not move: callgrind on 4 MiB
# of each kind, both passes. Skipped without valgrind.
echo
if command -v valgrind >/dev/null; then
  printf '%-15s %5s %14s %10s\n' input MiB instructions per-byte
  for kind in euc sjis-crlf utf8-crlf; do
    case $kind in
      utf8*)
        "$bin/bench/make_input" euc-crlf 4 text.euc || fail "cannot write the input"
        iconv -f EUC-JP -t UTF-8 text.euc >text.kjx || fail "iconv cannot write the UTF-8 input"
        rm -f text.euc
        option=/UTF8
        ;;
      sjis*)
        "$bin/bench/make_input" "$kind" 4 text.kjx || fail "cannot write the input"
        option=/MSKanji
        ;;
      *)
        "$bin/bench/make_input" "$kind" 4 text.kjx || fail "cannot write the input"
        option=/EUC
        ;;
    esac
    valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$bin/converter/kotobun" text \
      "$option" >/dev/null 2>callgrind.log || fail "callgrind failed on $kind"
    awk -v name="$kind" -v input="$(wc -c <text.kjx)" '/Collected/ {
        printf "%-15s %5.1f %14d %10.1f\n", name, input / 1048576, $4, $4 / input
      }' callgrind.log
    rm -f text.kjx text.tex callgrind.out callgrind.log
  done
else
  echo "instructions per byte skipped: valgrind is not installed"
fi

sh "$root/bench/robustness.sh" "$build"
