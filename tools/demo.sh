#!/usr/bin/env bash
# Converts the bundled examples and the font catalogue into demo/ and, where TeX is installed,
# makes the kanji font kit in the build folder and typesets each of them into a PDF with the glyphs.
# Usage: bash tools/demo.sh [BUILD]   (BUILD is the build folder, default build; nothing is built)
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
case $build in /*) ;; *) build=$root/$build ;; esac
out=$root/demo
kotobun=$build/converter/kotobun
fonttables=$build/fonttables/fonttables
kanjikit=$build/fontkit/kanjikit
kit=$build/texmf

for program in "$kotobun" "$fonttables" "$kanjikit"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build first (make demo builds, then runs this)" >&2
    exit 1
  fi
done

rm -rf "$out"
mkdir -p "$out"
for example in "$root"/examples/*.kjx "$root"/examples/*.jpn; do
  [ -e "$example" ] || continue
  cp "$example" "$out/"
done
cd "$out"
"$fonttables" >fonttables.txt || { cat fonttables.txt; echo "demo: fonttables failed" >&2; exit 1; }
echo "fonttables                -> demo/fontable.kjx (the font catalogue)"

documents=()
for input in *.kjx *.jpn; do
  [ -e "$input" ] || continue
  documents+=("${input%.*}")
done

missing=
for tool in latex tex dvipdfmx kpsewhich pltotf; do
  command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
  # Without TeX the demo can still show the converter's work.
  for name in "${documents[@]}"; do
    if ! "$kotobun" "$name" >"$name.kotobun.txt"; then
      cat "$name.kotobun.txt"
      echo "demo: kotobun $name failed" >&2
      exit 1
    fi
    printf 'kotobun %-17s -> demo/%s.tex\n' "$name" "$name"
  done
  echo
  echo "Converted documents are in $out."
  echo "To make PDFs of them, install TeX (missing:$missing):"
  echo "  apt-get install --no-install-recommends texlive-binaries texlive-latex-base" \
    "fonts-ipafont-mincho"
  exit 0
fi

# The kit goes into a TeX tree of the build folder, which TEXMFHOME points to for this demo only.
rm -rf "$kit"
if ! "$kanjikit" "$kit" >"$out/kanjikit.txt" 2>&1; then
  cat "$out/kanjikit.txt" >&2
  echo "demo: kanjikit $kit failed" >&2
  exit 1
fi
echo "kanjikit                  -> ${kit#"$root"/} (kanjiaa ... kanjihe: metrics, map, the LaTeX package)"
export TEXMFHOME=$kit KOTOBUN=$kotobun

# kotobun2pdf runs kotobun, latex or tex, and dvipdfmx, and says which step failed and why.
pdfs=()
for name in "${documents[@]}"; do
  if ! "$root/road/kotobun2pdf" "$name" >/dev/null 2>"$name.road.txt"; then
    cat "$name.road.txt" >&2
    echo "demo: kotobun2pdf $name failed" >&2
    exit 1
  fi
  pages=$(sed -n 's/^Output written on .*(\([0-9]* pages\{0,1\}\),.*/\1/p' "$name.log")
  printf 'kotobun2pdf %-13s -> demo/%s.pdf (%s)\n' "$name" "$name" "${pages:-no pages}"
  # Its warnings, such as the catalogue's codes that name no character.
  sed 's/^kotobun2pdf: /    /' "$name.road.txt"
  pdfs+=("$out/$name.pdf")
done
echo
echo "PDFs with the kanji glyphs (font kit in ${kit#"$root"/}):"
printf '  %s\n' "${pdfs[@]}"
