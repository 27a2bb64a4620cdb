#!/usr/bin/env bash
# Converts the bundled examples and the font catalogue into demo/ and, where TeX is installed,
# typesets them into DVI files with metric-only stand-ins for the kanji fonts.
# Usage: bash tools/demo.sh [BUILD]   (BUILD is the build folder, default build; nothing is built)
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
case $build in /*) ;; *) build=$root/$build ;; esac
out=$root/demo
kotobun=$build/converter/kotobun
fonttables=$build/fonttables/fonttables
makeFonts=$build/tools/make_metric_fonts

if [ ! -x "$kotobun" ]; then
  echo "demo: $kotobun is missing; build first (make demo builds, then runs this)" >&2
  exit 1
fi

rm -rf "$out"
mkdir -p "$out"
for example in "$root"/examples/*.kjx "$root"/examples/*.jpn; do
  [ -e "$example" ] || continue
  cp "$example" "$out/"
done
cd "$out"

if [ -x "$fonttables" ]; then
  "$fonttables" >fonttables.txt || { cat fonttables.txt; echo "demo: fonttables failed" >&2; exit 1; }
  echo "fonttables               -> demo/fontable.kjx"
else
  echo "fonttables               (not built: no font catalogue)"
fi

# The converter's transcript of each run goes to NAME.kotobun.txt; TeX keeps NAME.log for itself.
documents=()
for input in *.kjx *.jpn; do
  [ -e "$input" ] || continue
  name=${input%.*}
  if ! "$kotobun" "$name" >"$name.kotobun.txt"; then
    cat "$name.kotobun.txt"
    echo "demo: kotobun $name failed" >&2
    exit 1
  fi
  documents+=("$name")
  printf 'kotobun %-16s -> demo/%s.tex (%d bytes)\n' "$name" "$name" "$(wc -c <"$name.tex")"
done

missing=
for tool in latex tex pltotf; do
  command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
  echo
  echo "Converted documents are in $out."
  echo "To typeset them, install TeX (missing:$missing):"
  echo "  apt-get install --no-install-recommends texlive-binaries texlive-latex-base"
  exit 0
fi

if [ ! -x "$makeFonts" ]; then
  echo "demo: $makeFonts is missing; build first (make demo builds, then runs this)" >&2
  exit 1
fi
mkdir -p fonts
"$makeFonts" "$out/fonts" >/dev/null
echo "make_metric_fonts        -> demo/fonts (kanjiaa.tfm ... kanjihe.tfm)"
export TFMFONTS="$out/fonts:" MKTEXTFM=0
for name in "${documents[@]}"; do
  engine=latex
  # Plain TeX output defines its macros with \def, LaTeX output with \newcommand.
  grep -q '^\\def\\kk' "$name.tex" && engine=tex
  if ! "$engine" -interaction=nonstopmode -halt-on-error "$name.tex" </dev/null >/dev/null 2>&1; then
    grep -A3 '^!' "$name.log" || tail -20 "$name.log"
    echo "demo: $engine $name failed; see demo/$name.log" >&2
    exit 1
  fi
  written=$(grep -o 'Output written on .*' "$name.log" | sed 's/^Output written on //; s/\.$//')
  printf '%-5s %-18s -> demo/%s\n' "$engine" "$name" "$written"
done
echo
echo "Converted documents and their DVI files are in $out."
echo "The DVI files were set with metric-only fonts: they hold the layout, not the glyphs."
