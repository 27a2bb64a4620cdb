#!/usr/bin/env bash
# road_test.sh - the road from a Japanese text to a PDF: kanjikit, kotobun2pdf, and the text back.
#
# Usage: road_test.sh CHECK SCRATCH
#   kit             makes the font kit with kanjikit into $KIT (a scratch TEXMFHOME)
#   roundtrip-euc   roundtrip.txt to EUC-JP with iconv, a LaTeX document, kotobun2pdf, pdftotext
#   roundtrip-sjis  the same in Shift-JIS (.jpn, /MSKanji)
#   roundtrip-tex   the same as plain TeX (/TeX)
#   page            a page of kanji only, rendered with pdftoppm, is not blank
#   references      a forward reference is resolved: LaTeX runs again when it asks to
#   failures        each failing step of kotobun2pdf: its message, status 1 and no NAME.pdf
#   lint            kotobun2pdf is clean under shellcheck
# Environment: KOTOBUN, KANJIKIT (programs), KOTOBUN2PDF (the script), KIT (the kit's TeX tree),
# DATA (this folder). Without a tool the check exits 77 (skipped), unless REQUIRE_TYPESETTING=1
# makes that a failure.
#
# A round trip passes when the characters of the text outside ASCII come back from the PDF in the
# same order, white space aside (pdftotext drops the ideographic space U+3000). kotobun puts no
# break point between full-width digits, letters or signs, nor between a closing and an opening
# bracket (and TeX swallows a space after its glue macros), so the text breaks such runs with a
# kana: an unbreakable run sticks out of the page, where pdftotext no longer reads it. The text avoids
# the six characters whose Unicode names differ between EUC-JP and Shift-JIS in iconv (1-33,
# 1-34, 1-61, 1-81, 1-82, 2-44), and ASCII that TeX's fonts would turn into ligatures or quotes.
set -euo pipefail

check=$1
scratch=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

skipOrFail() {
  if [ "${REQUIRE_TYPESETTING:-0}" = 1 ]; then fail "$1, and REQUIRE_TYPESETTING=1"; fi
  echo "skipped: $1 ($2)"
  exit 77
}

requireTools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null ||
      skipOrFail "$tool is not installed" "apt-get install --no-install-recommends \
texlive-binaries texlive-latex-base poppler-utils fonts-ipafont-mincho"
  done
  kpsewhich ipam.ttf >/dev/null || skipOrFail "kpathsea finds no ipam.ttf" \
    "apt-get install fonts-ipafont-mincho"
}

# The kit check makes the kit that the other checks use.
requireKit() {
  [ -s "$KIT/fonts/map/dvipdfmx/kotobun/kanjikit.map" ] || fail "no kit in $KIT: the kit check failed"
  export TEXMFHOME=$KIT
}

makeKit() {
  rm -rf "$KIT"
  "$KANJIKIT" "$KIT" >"$scratch/kanjikit.out" 2>&1 ||
    fail "kanjikit $KIT failed: $(cat "$scratch/kanjikit.out")"
  [ -s "$KIT/fonts/map/dvipdfmx/kotobun/kanjikit.map" ] || fail "kanjikit wrote no map"
}

# Prints the characters of a UTF-8 text outside ASCII, one a line, without the ideographic space.
japanese() {
  LC_ALL=C tr -d '\000-\177' <"$1" | LC_ALL=C sed 's/\xe3\x80\x80//g' |
    LC_ALL=C.UTF-8 grep -o . || true
}

# Writes the document NAME.EXT around the text in ENCODING for LaTeX or plain TeX (FORMAT).
writeDocument() {
  local name=$1 ext=$2 encoding=$3 format=$4
  {
    if [ "$format" = tex ]; then
      printf '%% %s: the round trip text for plain TeX.\n\\nopagenumbers\n' "$name"
    else
      printf '%% %s: the round trip text for LaTeX.\n' "$name"
      printf '\\documentclass{article}\n\\pagestyle{empty}\n\\begin{document}\n'
    fi
    iconv -f UTF-8 -t "$encoding" "$DATA/roundtrip.txt" || fail "iconv -t $encoding failed"
    if [ "$format" = tex ]; then printf '\\bye\n'; else printf '\\end{document}\n'; fi
  } >"$name.$ext"
}

# Runs kotobun2pdf NAME with the options; it must succeed and print where NAME.pdf is.
road() {
  local name=$1 status=0
  shift
  "$KOTOBUN2PDF" "$name" "$@" >"$name.road" 2>"$name.err" || status=$?
  [ "$status" = 0 ] || fail "kotobun2pdf $name $* ended with status $status: $(cat "$name.err")"
  [ "$(cat "$name.road")" = "$PWD/$name.pdf" ] ||
    fail "kotobun2pdf $name printed '$(cat "$name.road")', not $PWD/$name.pdf"
  [ -s "$name.pdf" ] || fail "no $name.pdf"
  # Every character of these texts has its glyph in the font: no warning about .notdef glyphs.
  [ ! -s "$name.err" ] || fail "kotobun2pdf $name $* warned: $(cat "$name.err")"
}

roundTrip() {
  local name=$1 ext=$2 encoding=$3 format=$4
  shift 4
  writeDocument "$name" "$ext" "$encoding" "$format"
  road "$name" "$@"
  if [ "$format" = tex ]; then
    grep -q '^Writing TeX header$' "$name.kotobun.txt" || fail "$name: not converted for plain TeX"
  fi
  pdftotext -enc UTF-8 "$name.pdf" "$name.txt" || fail "pdftotext $name.pdf failed"
  japanese "$DATA/roundtrip.txt" >"$name.expected"
  japanese "$name.txt" >"$name.actual"
  [ "$(wc -l <"$name.expected")" -gt 250 ] || fail "the test text lost its Japanese characters"
  if ! cmp -s "$name.expected" "$name.actual"; then
    fail "$name: the characters that came back differ (< sent, > came back):
$(diff "$name.expected" "$name.actual" | head -20)"
  fi
}

# A page that holds nothing but kanji, with no page number, must show dark pixels.
checkPage() {
  {
    printf '\\documentclass{article}\n\\pagestyle{empty}\n\\begin{document}\n'
    printf '%s\n' 漢字の頁 日本語の文字だけ | iconv -f UTF-8 -t EUC-JP
    printf '\\end{document}\n'
  } >page.kjx
  road page
  pdftoppm -r 100 -gray -f 1 -l 1 -singlefile page.pdf page || fail "pdftoppm page.pdf failed"
  # A PGM file: three header lines, then one byte a pixel (0 black, 255 white).
  local dark
  dark=$(tail -n +4 page.pgm | od -An -v -tu1 | tr -s ' ' '\n' | awk '$1 != "" && $1 < 128 {n++}
    END {print n + 0}')
  [ "$dark" -gt 100 ] || fail "the page of kanji is blank: $dark dark pixels at 100 dpi"
}

checkReferences() {
  {
    printf '\\documentclass{article}\n\\begin{document}\n'
    printf '\\section{%s}\\label{first}\n%s\\ref{second}%s\n' 前 第 節を見よ | iconv -f UTF-8 -t EUC-JP
    printf '\\section{%s}\\label{second}\n\\end{document}\n' 後 | iconv -f UTF-8 -t EUC-JP
  } >references.kjx
  road references
  pdftotext -enc UTF-8 references.pdf references.txt || fail "pdftotext references.pdf failed"
  tr -d ' \n' <references.txt >references.joined
  grep -q '第2節を見よ' references.joined ||
    fail "the reference was not resolved: $(cat references.txt)"
}

# A folder for PATH with the programs that kotobun2pdf and TeX use, except the ones named. (A
# program missing from this list shows as status 127, not 1.)
pathWithout() {
  local bin=$scratch/path-without-${*// /-} program
  rm -rf "$bin"
  mkdir -p "$bin"
  for program in sh basename cat dirname grep head mv rm sed tail tr kpsewhich latex tex dvipdfmx; do
    ln -s "$(command -v "$program")" "$bin/$program"
  done
  for program in "$@"; do rm -f "$bin/$program"; done
  echo "$bin"
}

# Runs kotobun2pdf with ARGS in an environment (VAR=VALUE ...; "--" ends them): the status must
# be 1, stderr must hold MESSAGE, and an old NAME.pdf (when the first argument is a name) must be
# gone.
expectFailure() {
  local message=$1 environment=() status=0
  shift
  while [ "$1" != -- ]; do
    environment+=("$1")
    shift
  done
  shift
  local name=
  case ${1:-} in [a-z]*) name=$1 ;; esac
  [ -z "$name" ] || echo "an old PDF" >"$name.pdf"
  env "${environment[@]}" "$KOTOBUN2PDF" "$@" >failure.out 2>failure.err || status=$?
  [ "$status" = 1 ] || fail "kotobun2pdf $*: status $status, not 1: $(cat failure.err)"
  grep -qF -- "$message" failure.err ||
    fail "kotobun2pdf $*: stderr lacks '$message': $(cat failure.err)"
  [ ! -s failure.out ] || fail "kotobun2pdf $*: printed on stdout after a failure: $(cat failure.out)"
  [ -z "$name" ] || [ ! -e "$name.pdf" ] || fail "kotobun2pdf $*: left $name.pdf behind"
}

checkFailures() {
  local latex='\\documentclass{article}\n\\begin{document}\n%s\n\\end{document}\n'
  # shellcheck disable=SC2059 # the formats hold the documents
  {
    printf "$latex" $'\xa4\xa2' >good.kjx
    printf "$latex" $'\xa4\xa2\n\\undefined' >texerror.kjx
    printf "$latex" $'\xa4\xa2\xa4' >badpair.kjx
    printf '\xa4\xa2\n\\undefined\n\\bye\n' >plainerror.kjx
    printf '\xa4\xa2\n\\bye\n' >plain.kjx
  }
  local texLine plainLine
  texLine=$(kotobunAndFindLine texerror '\\undefined')
  plainLine=$(kotobunAndFindLine plainerror '\\undefined' /TeX)
  local noKit=$scratch/no-kit badMap=$scratch/bad-map
  rm -rf "$noKit" "$badMap"
  mkdir -p "$noKit"
  cp -r "$KIT" "$badMap"
  sed -i 's/<[^< ]*\.tt[fc]$/<nosuchfont.ttf/' "$badMap/fonts/map/dvipdfmx/kotobun/kanjikit.map"

  # message | environment -- | arguments (the name first)
  expectFailure "usage: kotobun2pdf NAME" --
  expectFailure "the first argument must be the name" -- /TeX good
  expectFailure "kotobun missing failed: File not found..." -- missing
  expectFailure "kotobun good failed: Invalid command line parameter: NOSUCH..." -- good /NoSuch
  expectFailure "kotobun badpair failed: Invalid EUC character pair..." -- badpair
  expectFailure "latex failed: texerror.tex:$texLine: ! Undefined control sequence." -- texerror
  expectFailure "tex failed: plainerror.tex:$plainLine: ! Undefined control sequence." -- \
    plainerror /TeX
  if [ -e texerror.dvi ] || [ -e plainerror.dvi ]; then fail "a DVI file outlived a TeX error"; fi
  expectFailure "kotobun not found at /nonexistent/kotobun" KOTOBUN=/nonexistent/kotobun -- good
  expectFailure "the kanji font kit is not installed" TEXMFHOME="$noKit" -- good
  expectFailure "make it once with: kanjikit" TEXMFHOME="$noKit" -- good
  expectFailure "kpathsea finds no nosuchfont.ttf" TEXMFHOME="$badMap" -- good
  expectFailure "latex is not installed; on Debian: apt-get install texlive-latex-base" \
    PATH="$(pathWithout latex)" -- good
  expectFailure "tex is not installed; on Debian: apt-get install texlive-binaries" \
    PATH="$(pathWithout tex)" -- plain /TeX
  expectFailure "dvipdfmx is not installed; on Debian: apt-get install texlive-binaries" \
    PATH="$(pathWithout dvipdfmx)" -- good
  # After all that, the same files make their PDFs.
  road good
  road plain /TeX
}

# Converts NAME with kotobun and prints the line of NAME.tex that holds PATTERN.
kotobunAndFindLine() {
  local name=$1 pattern=$2
  shift 2
  "$KOTOBUN" "$name" "$@" >/dev/null || fail "kotobun $name failed"
  grep -n "$pattern" "$name.tex" | head -1 | cut -d: -f1
}

mkdir -p "$scratch"
cd "$scratch"
scratch=$PWD
case $check in
  kit)
    requireTools latex dvipdfmx kpsewhich pltotf
    makeKit
    ;;
  roundtrip-euc)
    requireTools latex dvipdfmx kpsewhich iconv pdftotext
    requireKit
    rm -f ./*
    roundTrip euc kjx EUC-JP latex
    ;;
  roundtrip-sjis)
    requireTools latex dvipdfmx kpsewhich iconv pdftotext
    requireKit
    rm -f ./*
    roundTrip sjis jpn SHIFT_JIS latex /MSKanji
    ;;
  roundtrip-tex)
    requireTools tex dvipdfmx kpsewhich iconv pdftotext
    requireKit
    rm -f ./*
    roundTrip plain kjx EUC-JP tex /TeX
    ;;
  page)
    requireTools latex dvipdfmx kpsewhich iconv pdftoppm
    requireKit
    rm -f ./*
    checkPage
    ;;
  references)
    requireTools latex dvipdfmx kpsewhich iconv pdftotext
    requireKit
    rm -f ./*
    checkReferences
    ;;
  failures)
    requireTools latex tex dvipdfmx kpsewhich
    requireKit
    rm -rf ./*
    checkFailures
    ;;
  lint)
    command -v shellcheck >/dev/null || skipOrFail "shellcheck is not installed" \
      "apt-get install shellcheck"
    shellcheck "$KOTOBUN2PDF" || fail "shellcheck finds faults in kotobun2pdf"
    ;;
  *) fail "no check named $check" ;;
esac
echo "ok: $check"
