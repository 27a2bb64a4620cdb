#!/bin/sh
# Prints the road's figures: for the sample (examples/sample.kjx), the font catalogue (fonttables'
# fontable.kjx) and a text of about 60 pages (the sample's body repeated), the seconds that
# kotobun2pdf takes per run and per page and the size of its PDF; and, when upLaTeX is installed
# (ptex2pdf), the same for ptex2pdf -l -u on the same text as a UTF-8 upLaTeX document, with the
# ratios (road / upLaTeX; the time's ratio is the median of the rounds' ratios). The two take turns
# in each round, so that a busy machine weighs on both alike; every figure is the median of
# BENCH_RUNS rounds (5) after a warm-up. The road runs with a kit that kanjikit makes into a
# scratch TEXMFHOME in the build folder; upLaTeX's PDFs embed IPA Mincho and IPA Gothic through
# uptex-ipa.map when TeX Live has it (without it they would not embed the Japanese fonts at all).
# BENCH_KEEP=1 keeps the scratch folder (BUILD/bench-road) with the documents, logs and PDFs.
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
case $build in
  /*) bin=$build ;;
  *) bin=$root/$build ;;
esac
runs=${BENCH_RUNS:-5}
work=$bin/bench-road

fail() {
  echo "make bench-road: $*" >&2
  exit 1
}

for program in bench/measure converter/kotobun fontkit/kanjikit fonttables/fonttables; do
  [ -x "$bin/$program" ] || fail "$bin/$program is missing: build first (make)"
done
road=$root/road/kotobun2pdf
[ -f "$road" ] || fail "kotobun2pdf is not found at $road"
for tool in latex dvipdfmx kpsewhich iconv; do
  command -v "$tool" >/dev/null || fail "$tool is missing (the road needs it)"
done
case $runs in
  '' | *[!0-9]* | 0) fail "BENCH_RUNS must be a positive number, not $runs" ;;
esac

rm -rf "$work"
mkdir -p "$work" || fail "cannot create $work"
[ -n "${BENCH_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
trap 'exit 1' HUP INT TERM
cd "$work"

TEXMFHOME=$work/texmf
KOTOBUN=$bin/converter/kotobun
export TEXMFHOME KOTOBUN
"$bin/fontkit/kanjikit" "$TEXMFHOME" >kanjikit.out 2>&1 ||
  fail "kanjikit failed: $(cat kanjikit.out)"

uplatex=
if command -v ptex2pdf >/dev/null && command -v uplatex >/dev/null; then uplatex=yes; fi
upmap=
if [ -n "$uplatex" ] && kpsewhich uptex-ipa.map >/dev/null 2>&1; then upmap=uptex-ipa.map; fi

# The inputs, each in a folder of its own: NAME/NAME.kjx for the road, NAME/up.tex for upLaTeX.
mkdir sample catalogue long
cp "$root/examples/sample.kjx" sample/sample.kjx
(cd catalogue && "$bin/fonttables/fonttables" >/dev/null) || fail "fonttables failed"
mv catalogue/fontable.kjx catalogue/catalogue.kjx
# The sample's body 84 times over: about 60 pages.
{
  sed -n '1,/^\\begin{document}/p' "$root/examples/sample.kjx"
  repeat=0
  while [ "$repeat" -lt 84 ]; do
    sed -e '1,/^\\begin{document}/d' -e '/^\\end{document}/,$d' "$root/examples/sample.kjx"
    repeat=$((repeat + 1))
  done
  printf '\\end{document}\n'
} >long/long.kjx
# upLaTeX reads the same LaTeX source in UTF-8. The catalogue's unassigned positions have no
# Unicode character; iconv leaves them out (-c), so those cells stay empty. upLaTeX has no LaTeX
# 2.09 mode: the catalogue's \documentstyle becomes \documentclass, without \footheight.
for name in sample catalogue long; do
  iconv -c -f EUC-JP -t UTF-8 "$name/$name.kjx" 2>/dev/null |
    sed -e 's/^\\documentstyle/\\documentclass/' -e '/^\\setlength{\\footheight}/d' \
      >"$name/up.tex" || true
  [ -s "$name/up.tex" ] || fail "iconv could not convert $name.kjx"
done

# Runs a command once in folder $2 through measure and appends "seconds" to the file $1; the
# command's output goes to $1.log.
timed() {
  times=$1
  folder=$2
  shift 2
  line=$(cd "$folder" && "$bin/bench/measure" sh -c '"$@" >/dev/null 2>&1' sh "$@") ||
    fail "cannot measure $*"
  status=$(echo "$line" | cut -d ' ' -f 3)
  [ "$status" = 0 ] || fail "$* in $folder ended with status $status"
  echo "$line" | cut -d ' ' -f 1 >>"$times"
}

median() { sort -n "$1" | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }

# The pages of the DVI file that TeX wrote, from its log.
pages() {
  LC_ALL=C sed -n 's/^Output written on .* (\([0-9]*\) pages\{0,1\}, .*/\1/p' "$1" | tail -n 1
}

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo 2>/dev/null | head -n 1)
echo "make bench-road, $(date -u '+%Y-%m-%d %H:%M UTC'): $(nproc 2>/dev/null || echo '?') cores," \
  "${cpu:-unknown CPU}; median of $runs rounds after a warm-up; road: ${road#"$root"/}"
if [ -z "$uplatex" ]; then
  echo "upLaTeX (ptex2pdf, uplatex) is not installed: the road alone"
elif [ -z "$upmap" ]; then
  echo "upLaTeX: uptex-ipa.map not found, so its PDFs do not embed the Japanese fonts"
else
  echo "upLaTeX: ptex2pdf -l -u -od '-f $upmap' (IPA fonts embedded)"
fi
echo
printf '%-10s %5s | %8s %8s %8s | %8s %8s %8s | %7s %7s\n' input pages road-s s/page PDF-KB \
  up-s s/page PDF-KB x-time x-size

for name in sample catalogue long; do
  rm -f "$name".road* "$name".up* "$name".ratio
  round=0
  while [ "$round" -le "$runs" ]; do
    [ "$round" = 0 ] && suffix=.warm || suffix=
    timed "$name.road$suffix" "$name" sh "$road" "$name"
    if [ -n "$uplatex" ]; then
      if [ -n "$upmap" ]; then
        timed "$name.up$suffix" "$name" ptex2pdf -l -u -od "-f $upmap" up.tex
      else
        timed "$name.up$suffix" "$name" ptex2pdf -l -u up.tex
      fi
      [ -n "$suffix" ] || paste -d ' ' "$name.road" "$name.up" | tail -n 1 |
        awk '{ printf "%.4f\n", $1 / $2 }' >>"$name.ratio"
    fi
    round=$((round + 1))
  done
  [ -s "$name/$name.pdf" ] || fail "kotobun2pdf wrote no $name.pdf"
  roadPages=$(pages "$name/$name.log")
  roadBytes=$(wc -c <"$name/$name.pdf")
  if [ -n "$uplatex" ]; then
    [ -s "$name/up.pdf" ] || fail "ptex2pdf wrote no up.pdf for $name"
    awk -v name="$name" -v pages="$roadPages" -v t="$(median "$name.road")" \
      -v bytes="$roadBytes" -v upPages="$(pages "$name/up.log")" -v up="$(median "$name.up")" \
      -v upBytes="$(wc -c <"$name/up.pdf")" -v ratio="$(median "$name.ratio")" 'BEGIN {
        printf "%-10s %5d | %8.3f %8.4f %8.1f | %8.3f %8.4f %8.1f | %7.2f %7.2f\n", name, pages,
          t, t / pages, bytes / 1024, up, up / upPages, upBytes / 1024, ratio, bytes / upBytes
        if (upPages != pages) printf "%-10s %5d pages with upLaTeX\n", "", upPages
      }'
  else
    awk -v name="$name" -v pages="$roadPages" -v t="$(median "$name.road")" \
      -v bytes="$roadBytes" 'BEGIN {
        printf "%-10s %5d | %8.3f %8.4f %8.1f |\n", name, pages, t, t / pages, bytes / 1024
      }'
  fi
done
