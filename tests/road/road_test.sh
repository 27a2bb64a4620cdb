#!/usr/bin/env bash
# road_test.sh - the road from a Japanese text to a PDF: kanjikit, kotobun2pdf, and the text back.
#
# Usage: road_test.sh CHECK SCRATCH
#   kit             makes the font kit with kanjikit into $KIT (a scratch TEXMFHOME)
#   roundtrip-euc   roundtrip.txt to EUC-JP with iconv, a LaTeX document, kotobun2pdf, pdftotext;
#                   each round trip's PDF embeds IPA Mincho once
#   roundtrip-sjis  the same in Shift-JIS (.jpn, /MSKanji)
#   roundtrip-tex   the same as plain TeX (/TeX)
#   marks           the wave dash, the cent, pound, not and minus signs and the double vertical
#                   line round trip in EUC and Shift-JIS (IPA Mincho shares or narrows their glyphs)
#   page            a page of kanji only, rendered with pdftoppm, is not blank
#   references      a forward reference is resolved: LaTeX runs again when it asks to
#   failures        each failing step of kotobun2pdf: its message, status 1 and no NAME.pdf; the
#                   names and arguments it refuses, and the ones it takes
#   mishaps         what bad luck brings: a full disk, an interruption, two runs on one name, a
#                   closed or failing standard output or error, planted links, a folder it cannot
#                   write
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
  local name=$1 pdf=$PWD/$1.pdf status=0
  shift
  case $name in /*) pdf=$name.pdf ;; esac
  "$KOTOBUN2PDF" "$name" "$@" >road.out 2>road.err || status=$?
  [ "$status" = 0 ] || fail "kotobun2pdf $name $* ended with status $status: $(cat road.err)"
  [ "$(cat road.out)" = "$pdf" ] || fail "kotobun2pdf $name printed '$(cat road.out)', not $pdf"
  [ -s "$pdf" ] || fail "no $pdf"
  # Every character of these texts has its glyph in the font: no warning about .notdef glyphs.
  [ ! -s road.err ] || fail "kotobun2pdf $name $* warned: $(cat road.err)"
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
  oneKanjiFont "$name"
}

# NAME.pdf embeds IPA Mincho once, as one CID font for all the kanji fonts it uses.
oneKanjiFont() {
  pdffonts "$1.pdf" >"$1.fonts" || fail "pdffonts $1.pdf failed"
  if [ "$(grep -c '+IPAMincho ' "$1.fonts")" != 1 ] ||
    ! grep -q '+IPAMincho  *CID TrueType ' "$1.fonts"; then
    fail "$1.pdf does not embed IPA Mincho once as a CID font: $(cat "$1.fonts")"
  fi
}

# The characters that share a glyph with another in IPA Mincho (the wave dash U+301C with U+FF5E;
# the cent, pound and not signs with their full-width forms) or whose glyph is half an em wide
# (the minus sign) come back as themselves, in EUC and in Shift-JIS.
checkMarks() {
  local encoding ext options
  printf '%s\n' '〜と¢と£と¬と−と‖' >marks.utf8
  for encoding in EUC-JP SHIFT_JIS; do
    ext=kjx options=
    [ "$encoding" = EUC-JP ] || ext=jpn options=/MSKanji
    {
      printf '\\documentclass{article}\n\\pagestyle{empty}\n\\begin{document}\n'
      iconv -f UTF-8 -t "$encoding" marks.utf8 || fail "iconv -t $encoding failed"
      printf '\\end{document}\n'
    } >"marks.$ext"
    # shellcheck disable=SC2086 # no option, or one
    road marks $options
    pdftotext -enc UTF-8 marks.pdf marks.txt || fail "pdftotext marks.pdf failed"
    [ "$(japanese marks.txt)" = "$(japanese marks.utf8)" ] ||
      fail "marks in $encoding came back as $(japanese marks.txt | tr -d '\n')"
    oneKanjiFont marks
    rm -f marks.pdf "marks.$ext"
  done
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
  for program in sh awk cat dirname flock grep head mktemp mv rm sed tail tr kpsewhich latex tex \
    dvipdfmx; do
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
    # The errors come after a page has gone into the DVI file.
    printf "$latex" $'\xa4\xa2\n\\newpage\n\xa4\xa2\n\\undefined' >texerror.kjx
    printf "$latex" $'\xa4\xa2\xa4' >badpair.kjx
    printf '\xa4\xa2\n\\vfill\\eject\n\xa4\xa2\n\\undefined\n\\bye\n' >plainerror.kjx
    printf '\xa4\xa2\n\\bye\n' >plain.kjx
    # Log lines that start with ! and are no error.
    printf "$latex" $'\\typeout{!!! note}\xa4\xa2' >note.kjx
    # A line longer than TeX's buffer (200000 bytes): kotobun writes about 19 bytes a kanji.
    printf "$latex" "LONG$(head -c 12000 /dev/zero | tr '\0' x | LC_ALL=C sed $'s/x/\xb0\xa1/g')" >long.kjx
  }
  local texLine plainLine longLine
  texLine=$(kotobunAndFindLine texerror '\\undefined')
  plainLine=$(kotobunAndFindLine plainerror '\\undefined' /TeX)
  longLine=$(kotobunAndFindLine long '^LONG')
  local noKit=$scratch/no-kit badMap=$scratch/bad-map
  rm -rf "$noKit" "$badMap"
  mkdir -p "$noKit"
  cp -r "$KIT" "$badMap"
  sed -i 's/\([< ]\)[^< ]*\.tt[fc]$/\1nosuchfont.ttf/' "$badMap/fonts/map/dvipdfmx/kotobun/kanjikit.map"
  grep -q 'nosuchfont.ttf$' "$badMap/fonts/map/dvipdfmx/kotobun/kanjikit.map" ||
    fail "the map names no font to replace: $(cat "$badMap/fonts/map/dvipdfmx/kotobun/kanjikit.map")"

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
  expectFailure "latex failed: long.tex:$longLine: ! Unable to read an entire line---bufsize=" -- long
  # Names that TeX would read as code, or that name another file, and a second name.
  local path
  for path in './a%b' './a"b' './a~b' './a\b' './a^^41' ./.dot; do
    expectFailure "rename the file" -- "$path"
  done
  expectFailure "the name of the Japanese file holds a control character" -- $'./good\n'
  expectFailure "one NAME at a time: plain is not an option of kotobun" -- ./good plain
  expectFailure "the first argument must be the name of the Japanese file, not the option /Good" \
    -- /Good
  expectFailure "cannot enter the folder ./nofolder" -- ./nofolder/good
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
  # A kotobun that writes no NAME.tex: the old one must not be typeset in its place.
  printf '#!/bin/sh\nexit 0\n' >"$scratch/idle-kotobun"
  chmod +x "$scratch/idle-kotobun"
  expectFailure "kotobun good wrote no good.tex" KOTOBUN="$scratch/idle-kotobun" -- good
  road note
  # Names with a folder, absolute or relative (not one of CDPATH), or that start with - or &.
  road "$scratch/good"
  mkdir -p docs cdpath/docs
  cp good.kjx docs/letter.kjx
  cp good.kjx cdpath/docs/letter.kjx
  (
    export CDPATH=$scratch/cdpath
    road docs/letter
  )
  [ ! -e cdpath/docs/letter.tex ] || fail "kotobun2pdf docs/letter ran in \$CDPATH/docs"
  cp good.kjx ./-dash.kjx
  road -dash
  cp good.kjx '&plain x.kjx'
  road '&plain x'
}

# Runs kotobun2pdf with ARGS, its standard output and error going where REDIRECTIONS say (an eval'd
# text); the status must be STATUS.
roadStatus() {
  local expected=$1 redirections=$2 status=0
  shift 2
  eval '"$KOTOBUN2PDF" "$@"' "$redirections" || status=$?
  [ "$status" = "$expected" ] ||
    fail "kotobun2pdf $* $redirections: status $status, not $expected: $(cat mishap.err 2>/dev/null)"
}

# No working file of a road on NAME is left.
noLeftovers() {
  local left
  left=$(find . -maxdepth 1 -name ".$1.kotobun2pdf.*")
  [ -z "$left" ] || fail "kotobun2pdf $1 left its working files: $left"
}

checkMishaps() {
  local latex='\\documentclass{article}\n\\begin{document}\n%s\n\\end{document}\n' row cell many=
  # shellcheck disable=SC2059 # the formats hold the documents
  {
    printf "$latex" $'\xa4\xa2' >good.kjx
    # 96 kanji: a PDF of about 50 kB, larger than every other file of the road.
    for ((row = 0xb0; row <= 0xb2; row++)); do
      for ((cell = 0xa1; cell <= 0xc0; cell++)); do many+=$(printf '\\x%x\\x%x' $row $cell); done
    done
    printf "$latex" "$(printf "$many")" >many.kjx
    # A page goes into the DVI file, then TeX runs until it is stopped.
    printf "$latex" $'\xa4\xa2\n\\newpage\n\xa4\xa4\n\\def\\spin{\\relax\\spin}\\spin' >spin.kjx
  }

  # A full disk while dvipdfmx writes (dvipdfmx exits 0): files stop at 16 KiB.
  (
    ulimit -f 16
    trap '' XFSZ
    roadStatus 1 '>mishap.out 2>mishap.err' many
  )
  grep -q "dvipdfmx failed: the PDF it wrote is cut short; the disk may be full" mishap.err ||
    fail "a cut PDF: $(cat mishap.err)"
  [ ! -e many.pdf ] || fail "a cut many.pdf was left"
  noLeftovers many

  # Standard output that fails or is closed: no path, so no PDF; standard error closed.
  local out status
  for out in '>/dev/full' '>&-'; do
    roadStatus 1 "$out 2>mishap.err" good
    grep -q "cannot print the path of good.pdf on standard output" mishap.err ||
      fail "standard output $out: $(cat mishap.err)"
    [ ! -e good.pdf ] || fail "standard output $out: good.pdf was left"
  done
  status=0
  "$KOTOBUN2PDF" good 2>mishap.err | true || status=$?
  [ "$status" = 1 ] || fail "standard output a closed pipe: status $status, not 1"
  [ ! -e good.pdf ] || fail "standard output a closed pipe: good.pdf was left"
  roadStatus 0 '>mishap.out 2>&-' good
  [ "$(cat mishap.out)" = "$PWD/good.pdf" ] || fail "standard error closed: $(cat mishap.out)"
  roadStatus 1 '>mishap.out 2>&-' missing

  # Links planted under the names the road and TeX write: written through, never.
  echo untouched >victim
  local file
  for file in good.tex good.kotobun.txt good.dvipdfmx.txt good.pdf.part good.aux; do
    rm -f "$file"
    ln -s victim "$file"
  done
  road good
  [ "$(cat victim)" = untouched ] || fail "kotobun2pdf wrote through a planted link"

  # Two roads on one name at once: both succeed with a whole PDF.
  local round first second
  for round in 1 2 3; do
    "$KOTOBUN2PDF" good >race1.out 2>race1.err &
    first=$!
    "$KOTOBUN2PDF" good >race2.out 2>race2.err &
    second=$!
    wait "$first" || fail "round $round, the first of two roads: $(cat race1.err)"
    wait "$second" || fail "round $round, the second of two roads: $(cat race2.err)"
    [ ! -s race1.err ] || fail "two roads: $(cat race1.err)"
    [ ! -s race2.err ] || fail "two roads: $(cat race2.err)"
    pdfinfo good.pdf >/dev/null || fail "two roads left a broken good.pdf"
  done
  noLeftovers good

  # Ctrl-C while TeX runs, after a page has gone into the DVI file: sent to the road's own
  # process group, as a terminal sends it.
  set -m
  "$KOTOBUN2PDF" spin >mishap.out 2>mishap.err &
  local road=$! tries=0
  status=0
  set +m
  until [ -e spin.dvi ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 300 ]; then
      kill -KILL -- "-$road"
      fail "TeX wrote no spin.dvi in 15 s"
    fi
    sleep 0.05
  done
  kill -INT -- "-$road"
  wait "$road" || status=$?
  [ "$status" = 1 ] || fail "kotobun2pdf spin, interrupted: status $status, not 1"
  grep -q "interrupted by SIGINT" mishap.err || fail "kotobun2pdf spin, interrupted: $(cat mishap.err)"
  [ ! -e spin.dvi ] || fail "an interrupted road left spin.dvi"
  noLeftovers spin

  # A folder the road cannot write (as root: run as nobody).
  mkdir -p locked
  cp good.kjx locked/
  chmod 555 locked
  local runner=()
  [ "$(id -u)" != 0 ] || runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  "${runner[@]}" "$KOTOBUN2PDF" locked/good >mishap.out 2>mishap.err || status=$?
  [ "$status" = 1 ] || fail "an unwritable folder: status $status, not 1: $(cat mishap.err)"
  grep -q "cannot write in the folder $scratch/locked" mishap.err ||
    fail "an unwritable folder: $(cat mishap.err)"
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
    requireTools latex dvipdfmx kpsewhich iconv pdftotext pdffonts
    requireKit
    rm -f ./*
    roundTrip euc kjx EUC-JP latex
    ;;
  roundtrip-sjis)
    requireTools latex dvipdfmx kpsewhich iconv pdftotext pdffonts
    requireKit
    rm -f ./*
    roundTrip sjis jpn SHIFT_JIS latex /MSKanji
    ;;
  roundtrip-tex)
    requireTools tex dvipdfmx kpsewhich iconv pdftotext pdffonts
    requireKit
    rm -f ./*
    roundTrip plain kjx EUC-JP tex /TeX
    ;;
  marks)
    requireTools latex dvipdfmx kpsewhich iconv pdftotext pdffonts
    requireKit
    rm -f ./*
    checkMarks
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
  mishaps)
    requireTools latex dvipdfmx kpsewhich pdfinfo
    requireKit
    chmod -R u+w . 2>/dev/null || true
    rm -rf ./* ./.[!.]*
    checkMishaps
    ;;
  lint)
    command -v shellcheck >/dev/null || skipOrFail "shellcheck is not installed" \
      "apt-get install shellcheck"
    shellcheck "$KOTOBUN2PDF" || fail "shellcheck finds faults in kotobun2pdf"
    ;;
  *) fail "no check named $check" ;;
esac
echo "ok: $check"
