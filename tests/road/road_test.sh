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
#   plaintext       the plain-text road (kotobun2pdf FILE.txt): odd file names, the three
#                   encodings found out or forced, the user's files beside the text untouched,
#                   failures that name an existing log
#   realtext        real texts through the plain-text road and back: the smallest Aozora Bunko
#                   sample, the one with a line of 19,615 characters, a chapter of Debian's
#                   Japanese reference; skipped when they are absent
#   realtext-all    the same for all six samples, the whole reference and each of its chapters (by
#                   hand: it takes a few minutes); prints the figures
#   many            several files in one call: texts and TeX source with a failing one, the order
#                   of the output, --jobs, names given twice, an interrupt
#   lint            kotobun2pdf is clean under shellcheck
# Environment: KOTOBUN, KANJIKIT, KOTOTEXT (programs), KOTOBUN2PDF (the script), KIT (the kit's TeX
# tree), DATA (this folder); AOZORA, the folder of the Aozora Bunko samples (by default
# ../shared/samples/aozora beside the repository), DEBIAN_REFERENCE, the folder that holds
# debian-reference.ja.txt.gz (by default /usr/share/debian-reference, from the package
# debian-reference-ja). Without a tool the check exits 77 (skipped), unless REQUIRE_TYPESETTING=1
# makes that a failure; absent real texts are reported skipped either way.
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
# be 1, stderr must hold MESSAGE, and an old NAME.pdf (when the first argument is a name; NAME.txt
# a plain text's) must be gone.
expectFailure() {
  local message=$1 environment=() status=0
  shift
  while [ "$1" != -- ]; do
    environment+=("$1")
    shift
  done
  shift
  local name=
  case ${1:-} in [a-z]*) name=${1%.txt} ;; esac
  [ -z "$name" ] || echo "an old PDF" >"$name.pdf"
  env "${environment[@]}" "$KOTOBUN2PDF" "$@" >failure.out 2>failure.err || status=$?
  [ "$status" = 1 ] || fail "kotobun2pdf $*: status $status, not 1: $(cat failure.err)"
  grep -qF -- "$message" failure.err ||
    fail "kotobun2pdf $*: stderr lacks '$message': $(cat failure.err)"
  [ "$(wc -l <failure.err)" = 1 ] || fail "kotobun2pdf $*: not one line on stderr: $(cat failure.err)"
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
  # A second name is a run of its own (checkMany): kotobun never takes it for an argument.
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

# Runs kotobun2pdf on the plain text FILE with the options; it must succeed and print the path of
# the PDF beside the text (FILE without its extension, .pdf). Its warnings are in plain.err.
plainRoad() {
  local lead=() text status=0 folder stem left
  if [ "$1" = --text ]; then
    lead=(--text)
    shift
  fi
  text=$1
  shift
  folder=$(cd -- "$(dirname -- "$text")" && pwd)
  stem=$(basename -- "$text")
  stem=${stem%.*}
  "$KOTOBUN2PDF" ${lead[@]+"${lead[@]}"} "$text" "$@" >plain.out 2>plain.err || status=$?
  [ "$status" = 0 ] || fail "kotobun2pdf $text $* ended with status $status: $(cat plain.err)"
  [ "$(cat plain.out)" = "$folder/$stem.pdf" ] ||
    fail "kotobun2pdf $text printed '$(cat plain.out)', not $folder/$stem.pdf"
  pdfinfo "$folder/$stem.pdf" >/dev/null || fail "kotobun2pdf $text made no whole PDF"
  left=$(find "$folder" -maxdepth 1 -name '.kotobun2pdf.*')
  [ -z "$left" ] || fail "kotobun2pdf $text left its working folder: $left"
}

# Prints, one a line, the characters of the UTF-8 text $1 that have a place in JIS X 0208, as
# kotobun sets them and pdftotext reads them back, white space aside; the characters of the file
# $2 (one a line) as the geta mark. A place is the one that glibc's EUC-JP gives, else the one of
# CP932 in rows 1 to 84 (read back as glibc's SHIFT_JIS reads it: ～ as 〜 U+301C, － as − U+2212),
# as far as row 84 cell 4, the last that the fonts hold; a half-width katakana takes the place of
# glibc's transliteration to ISO-2022-JP (its full-width form). A character without a place is set
# as TeX text, or as the geta mark, as kotobun said in its warnings (the file $2). OT1's roman
# sets ' and ` as ’ and ‘.
jisCharacters() {
  local text=$1 geta=$2 work=$scratch/jis
  mkdir -p "$work"
  LC_ALL=C.UTF-8 grep -o . <"$text" >"$work/all" || true
  # The characters beyond ASCII, once each.
  LC_ALL=C grep -v '^[[:print:][:cntrl:]]$' "$work/all" | LC_ALL=C sort -u >"$work/unique" || true
  iconv -c -f UTF-8 -t EUC-JP <"$work/unique" >"$work/euc" 2>/dev/null || true
  iconv -c -f EUC-JP -t UTF-8 <"$work/euc" >"$work/euc.back" 2>/dev/null || true
  iconv -c -f UTF-8 -t CP932 <"$work/unique" >"$work/cp932" 2>/dev/null || true
  iconv -c -f SHIFT_JIS -t UTF-8 <"$work/cp932" >"$work/cp932.back" 2>/dev/null || true
  iconv -c -f UTF-8 -t ISO-2022-JP//TRANSLIT <"$work/unique" 2>/dev/null |
    iconv -c -f ISO-2022-JP -t UTF-8 >"$work/wide" 2>/dev/null || true
  local lines
  lines=$(wc -l <"$work/unique")
  for file in euc euc.back cp932 cp932.back wide; do
    [ "$(wc -l <"$work/$file")" = "$lines" ] || fail "iconv lost lines of the characters ($file)"
  done
  paste "$work/unique" "$work/euc" "$work/euc.back" "$work/cp932" "$work/cp932.back" \
    "$work/wide" >"$work/table"
  LC_ALL=C awk -F '\t' '
    FILENAME == ARGV[1] { geta[$0] = 1; next }
    FILENAME ~ /table$/ {
      c = $1; euc = $2; cp = $4; to = ""
      if (c in geta) to = "\343\200\223"
      else if (length(euc) == 2 && euc >= "\241\241" && euc <= "\364\244") to = $3
      else if (substr(euc, 1, 1) == "\216") { if ($6 ~ /^[\200-\377]+$/) to = $6 }
      else if (length(cp) == 2 && cp >= "\201" && cp <= "\352\244" &&
               !(cp >= "\240" && cp < "\340")) to = ($5 != "" ? $5 : c)
      if (to == "\343\200\200") to = ""
      place[c] = to
      next
    }
    $0 == "\047" { print "\342\200\231"; next }
    $0 == "`" { print "\342\200\230"; next }
    ($0 in place) && place[$0] != "" { print place[$0] }
  ' "$geta" "$work/table" "$work/all"
}

# The plain text $1 (UTF-8, $2 the PDF made of it, $3 the road's warnings): every character with
# a place in JIS X 0208 comes back from the PDF in order. Prints the figures.
compareText() {
  local text=$1 pdf=$2 warnings=$3 label=$4 code
  case $pdf in /*) ;; *) pdf=./$pdf ;; esac
  # The characters that kotobun set as the geta mark, from the code points of its warnings.
  local value
  : >geta.chars
  while read -r code; do
    value=$((16#$code))
    # shellcheck disable=SC2059 # the format is the character's UTF-32 bytes
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $((value >> 24)) $((value >> 16 & 255)) \
      $((value >> 8 & 255)) $((value & 255)))" | iconv -f UTF-32BE -t UTF-8 >>geta.chars
    echo >>geta.chars
  done < <(sed -n 's/.*No JIS X 0208 place for U+\([0-9A-F]*\) .*/\1/p' "$warnings" | sort -u)
  jisCharacters "$text" geta.chars >"$label.expected"
  # In the order the characters are drawn: a wide space in a line can make pdftotext take the
  # line for two columns.
  pdftotext -raw -enc UTF-8 "$pdf" "$label.back" || fail "pdftotext $pdf failed"
  : >nothing
  jisCharacters "$label.back" nothing >"$label.actual"
  local count pages
  count=$(wc -l <"$label.expected")
  pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
  [ "$count" -gt 0 ] || fail "$label: no Japanese characters to compare"
  if ! cmp -s "$label.expected" "$label.actual"; then
    fail "$label: the characters that came back differ (< sent, > came back):
$(diff "$label.expected" "$label.actual" | head -20)"
  fi
  echo "$label: $pages pages, $count characters compared, $(wc -l <geta.chars) characters" \
    "set as the geta mark, no mismatch"
}

# The plain-text road: roundtrip.txt in the three encodings, found out or forced, under names that
# TeX could not take; the user's own files beside a text; the failures, each with its log.
checkPlainText() {
  local utf8='-dash 100% "quoted" it'\''s.txt' sjis='青空文庫の見本、十二文字より長い名前.txt'
  # In UTF-8 also what kotobun maps: the variants of CP932, half-width kana, row 13, characters
  # without a place (TeX text, or the geta mark with a warning), and TeX's special characters.
  {
    cat "$DATA/roundtrip.txt"
    # shellcheck disable=SC2016 # $5 and the backquotes are the text's own
    printf '%s\n' '波～線と全角－と∥、半角のｱｲｳ､と丸①とⅣと㍉、𠮷野と熙。' \
      'Un café © 2024 • a–b, $5 & #1 _x_ {y} ^z~ \path 100% '\''q'\'' `b`'
  } >"$utf8"
  iconv -f UTF-8 -t SHIFT_JIS "$DATA/roundtrip.txt" >"$sjis"
  iconv -f UTF-8 -t EUC-JP "$DATA/roundtrip.txt" >euc.text
  plainRoad "$utf8"
  grep -q 'No JIS X 0208 place for U+20BB7' plain.err || fail "no warning for U+20BB7"
  compareText "$utf8" '-dash 100% "quoted" it'\''s.pdf' plain.err utf8
  plainRoad "$sjis" --paper a5 --line-paragraphs
  compareText "$DATA/roundtrip.txt" "${sjis%.txt}.pdf" plain.err sjis
  plainRoad --text euc.text --size=12
  compareText "$DATA/roundtrip.txt" euc.pdf plain.err euc
  plainRoad "$sjis" --encoding=sjis
  expectFailure "kototext failed: $PWD/$sjis: line 1, byte 2: 0xE1 is not valid EUC-JP here" -- \
    "$sjis" --encoding euc

  # Files of the user's beside the text, under the names that kotobun and TeX write: untouched.
  mkdir -p mine
  cp "$DATA/roundtrip.txt" mine/memo.txt
  local file
  for file in memo.tex memo.log memo.aux memo.dvi memo.kotobun.txt doc.kjx doc.tex doc.log; do
    echo "the user's own $file" >"mine/$file"
  done
  (cd mine && ls -l --time-style=+%s && cat ./*) >mine.before
  plainRoad mine/memo.txt
  rm mine/memo.pdf
  (cd mine && ls -l --time-style=+%s && cat ./*) >mine.after
  cmp -s mine.before mine.after || fail "kotobun2pdf mine/memo.txt changed the user's files:
$(diff mine.before mine.after | head -10)"

  # Failures: each names its cause; the ones after kototext a log in the working folder, kept.
  cat >"$scratch/broken-kotobun" <<'SCRIPT'
#!/bin/sh
# Writes a document that LaTeX stops in.
printf '%s\n' '\documentclass{article}' '\begin{document}' '\undefined' '\end{document}' >"$1.tex"
SCRIPT
  chmod +x "$scratch/broken-kotobun"
  expectFailure "latex failed: doc.tex:3: ! Undefined control sequence. (see $PWD/mine/.kotobun2pdf." \
    KOTOBUN="$scratch/broken-kotobun" -- mine/memo.txt
  local log
  log=$(sed -n 's/.*(see \(.*\))$/\1/p' failure.err)
  [ -s "$log" ] || fail "the log that the message names is not there: $(cat failure.err)"
  grep -q '^! Undefined control sequence' "$log" || fail "$log is not LaTeX's log"
  rm -rf "${log%/doc.log}"
  printf 'ok\n\xff\n' >bad.txt
  expectFailure "kototext failed: $PWD/bad.txt: line 2, byte 1: 0xFF is not valid" -- bad.txt \
    --encoding=utf8
  expectFailure "no text file ./missing.txt" -- ./missing.txt
  expectFailure "the PDF of x.pdf would take the name of the text itself" -- --text x.pdf
  expectFailure "/TeX is not an option for a plain text" -- ./mine/memo.txt /TeX
  expectFailure "a value is missing after --paper" -- ./mine/memo.txt --paper
  expectFailure "kototext failed: --paper does not take 'a3'" -- mine/memo.txt --paper=a3
  # A kotobun.sty that TeX finds is loaded.
  mkdir -p sty
  printf '\\PackageError{kotobun}{loaded by the document}{}\n' >sty/kotobun.sty
  expectFailure "Package kotobun Error: loaded by the document" TEXINPUTS="$PWD/sty//:" -- \
    mine/memo.txt
  rm -rf mine/.kotobun2pdf.*
  local left
  left=$(find . -name '.kotobun2pdf.*')
  [ -z "$left" ] || fail "a failed road left its working folder: $left"
  [ ! -e mine/memo.pdf ] || fail "a failed road left mine/memo.pdf"
}

# A real text (the file $2) under the name $1 (its PDF $1 without .txt) through the plain-text
# road with the options, and the round trip; $3 is its encoding.
realText() {
  local name=$1 file=$2 encoding=$3
  shift 3
  cp -- "$file" "$name"
  chmod u+w "$name"
  plainRoad "$name" "$@"
  iconv -f "$encoding" -t UTF-8 "$name" >"${name%.txt}.utf8" || fail "iconv -f $encoding $name failed"
  compareText "${name%.txt}.utf8" "${name%.txt}.pdf" plain.err "${name%.txt}"
}

# Chapter $1 of Debian's Japanese reference (0 the preface and contents, 13 the appendix), from
# its text $2, into the file $3.
debianChapter() {
  zcat "$2" | awk -v chapter="$1" '
    /^第[0-9]+章/ { n = $0; sub(/^第/, "", n); sub(/章.*/, "", n); part = n + 0 }
    /^付録A/ { part = 13 }
    part == chapter' >"$3"
  [ -s "$3" ] || fail "no chapter $1 in $2"
}

# The real texts: Aozora Bunko's samples (Shift-JIS, a paragraph a line) and Debian's reference
# (UTF-8), those named in $1 ("all" for every one), where they are.
checkRealText() {
  local aozora=${AOZORA:-$DATA/../../../shared/samples/aozora}
  local reference=${DEBIAN_REFERENCE:-/usr/share/debian-reference}/debian-reference.ja.txt.gz
  local ran=0 sample samples=(3775_ruby_27239 58189_ruby_69259) chapters=(8) chapter
  if [ "$1" = all ]; then
    samples=(3775_ruby_27239 46489_ruby_35921 4707_ruby_9654 58189_ruby_69259 4363_ruby_5763
      43551_ruby_17188)
    chapters=(0 1 2 3 4 5 6 7 8 9 10 11 12 13)
  fi
  if [ -d "$aozora" ]; then
    for sample in "${samples[@]}"; do
      realText "$sample.txt" "$aozora/$sample.txt" CP932 --line-paragraphs
    done
    # With kotobun.sty, as when it is installed.
    TEXINPUTS="$DATA/../../fontkit//:" realText "with kotobun.sty.txt" "$aozora/3775_ruby_27239.txt" \
      CP932 --line-paragraphs
    ran=1
  else
    echo "skipped: no Aozora Bunko samples in $aozora"
  fi
  if [ -f "$reference" ]; then
    for chapter in "${chapters[@]}"; do
      debianChapter "$chapter" "$reference" chapter.part
      realText "debian-reference.ja-$chapter.txt" chapter.part UTF-8
    done
    if [ "$1" = all ]; then
      zcat "$reference" >whole.part
      realText debian-reference.ja.txt whole.part UTF-8
    fi
    ran=1
  else
    echo "skipped: no $reference (apt-get install debian-reference-ja)"
  fi
  [ "$ran" = 1 ] || exit 77
}

# Runs kotobun2pdf with ARGS (and the environment VAR=VALUE ... before "--"): the status must be
# STATUS; its standard output goes to many.out, its standard error to many.err.
manyRoad() {
  local expected=$1 environment=() status=0
  shift
  while [ "$1" != -- ]; do
    environment+=("$1")
    shift
  done
  shift
  env ${environment[@]+"${environment[@]}"} "$KOTOBUN2PDF" "$@" >many.out 2>many.err || status=$?
  [ "$status" = "$expected" ] ||
    fail "kotobun2pdf $*: status $status, not $expected: $(cat many.err)"
}

# The lines that many.out (FILE many.out) or many.err must hold, given one a line, in that order.
expectLines() {
  local file=$1 expected
  shift
  expected=$(printf '%s\n' "$@")
  [ "$(cat "$file")" = "$expected" ] || fail "$file is not as expected (< expected, > got):
$(diff <(echo "$expected") "$file" | head -20)"
}

# No PDF part, working folder or dispatch folder of the road left in the current folder and in
# $TMPDIR, nor the DVI file of a stopped TeX.
noRoadLeftovers() {
  local left
  left=$(find . "$TMPDIR" -name '.*kotobun2pdf.*' -o -name 'kotobun2pdf.*' -o -name 'spin*.dvi')
  [ -z "$left" ] || fail "$1 left: $left"
}

# Several files in one call: texts and TeX source with a failing one, the order of the output, the
# number of runs at once, names given twice, and an interrupt.
checkMany() {
  local latex='\\documentclass{article}\n\\begin{document}\n%s\n\\end{document}\n' name
  export TMPDIR=$scratch/tmp
  mkdir -p "$TMPDIR" docs
  # shellcheck disable=SC2059 # the formats hold the documents
  {
    printf "$latex" $'\xa4\xa2' >ch1.kjx
    printf "$latex" $'\xa4\xa4' >docs/ch2.kjx
    printf "$latex" $'\xa4\xa2\n\\undefined' >texerror.kjx
    printf '\xa4\xa2\n\\bye\n' >plain1.kjx
    printf '\xa4\xa4\n\\bye\n' >plain2.kjx
    for name in spin1 spin2 spin3; do
      printf "$latex" $'\xa4\xa2\n\\newpage\n\xa4\xa4\n\\def\\spin{\\relax\\spin}\\spin' >$name.kjx
    done
  }
  iconv -f UTF-8 -t SHIFT_JIS "$DATA/roundtrip.txt" >a.txt
  cp "$DATA/roundtrip.txt" 'b b.txt'
  cp "$DATA/roundtrip.txt" docs/c.text
  printf 'ok\n\xff\n' >bad.txt

  # Texts, one failing: the others' PDFs, their paths in the order given, the failure's line with
  # its file, and the count last.
  manyRoad 1 -- a.txt --line-paragraphs bad.txt -j 2 'b b.txt' --encoding utf8 --text docs/c.text
  expectLines many.out "$PWD/b b.pdf" "$PWD/docs/c.pdf"
  expectLines many.err "kotobun2pdf: a.txt: kototext failed: $PWD/a.txt: line 1, byte 1: 0x8C is not valid UTF-8 here" \
    "kotobun2pdf: bad.txt: kototext failed: $PWD/bad.txt: line 2, byte 1: 0xFF is not valid UTF-8 here" \
    "kotobun2pdf: 2 of 4 failed"
  if [ -e a.pdf ] || [ -e bad.pdf ]; then fail "a failed text left its PDF"; fi
  # TeX source, one failing, with an option for all.
  manyRoad 1 -- ch1 texerror docs/ch2 --jobs 2 /Standard
  expectLines many.out "$PWD/ch1.pdf" "$PWD/docs/ch2.pdf"
  grep -q "^kotobun2pdf: texerror: latex failed: texerror.tex:[0-9]*: ! Undefined control sequence" \
    many.err || fail "no line for texerror: $(cat many.err)"
  [ "$(tail -1 many.err)" = "kotobun2pdf: 1 of 3 failed" ] || fail "no count: $(cat many.err)"
  [ "$(wc -l <many.err)" = 2 ] || fail "more than the failure and the count: $(cat many.err)"
  manyRoad 0 -- plain1 plain2 /TeX
  expectLines many.out "$PWD/plain1.pdf" "$PWD/plain2.pdf"
  # A name that kotobun fails to convert: the old NAME.tex is never typeset in its place.
  printf '#!/bin/sh\nexit 0\n' >"$scratch/idle-kotobun"
  chmod +x "$scratch/idle-kotobun"
  manyRoad 1 KOTOBUN="$scratch/idle-kotobun" -- ch1 docs/ch2
  expectLines many.err "kotobun2pdf: ch1: kotobun ch1 wrote no ch1.tex (see $PWD/ch1.kotobun.txt)" \
    "kotobun2pdf: docs/ch2: kotobun ch2 wrote no ch2.tex (see $PWD/docs/ch2.kotobun.txt)" \
    "kotobun2pdf: 2 of 2 failed"
  if [ -e ch1.pdf ] || [ -e docs/ch2.pdf ]; then fail "an old PDF outlived a failed run"; fi

  # One at a time or two at once: the same PDFs (but for the /ID that dvipdfmx draws from the
  # working name, a hexadecimal or a literal string).
  local jobs
  for jobs in 1 2; do
    manyRoad 0 SOURCE_DATE_EPOCH=1 -- --jobs="$jobs" --encoding=sjis a.txt ./a.txt "$PWD/a.txt"
    expectLines many.out "$PWD/a.pdf"
    manyRoad 0 SOURCE_DATE_EPOCH=1 -- -j"$jobs" ch1 docs/ch2
    manyRoad 0 SOURCE_DATE_EPOCH=1 -- -j "$jobs" plain1 plain2 /TeX
    mkdir -p "j$jobs"
    for name in a ch1 docs/ch2 plain1 plain2; do
      LC_ALL=C sed 's|/ID\[.*\]/Root|/Root|' "$name.pdf" >"j$jobs/${name#docs/}.pdf"
      ! LC_ALL=C grep -aq '/ID\[' "j$jobs/${name#docs/}.pdf" || fail "no /ID masked in $name.pdf"
    done
  done
  diff -r j1 j2 >/dev/null || fail "--jobs=1 and --jobs=2 made different PDFs"
  noRoadLeftovers "the runs"

  # Refused before any run, in one line: two texts of one PDF, a number of runs that is none, a
  # mix of roads.
  cp a.txt a.TXT
  local refusal
  while IFS='|' read -r refusal name; do
    eval "manyRoad 1 -- $name"
    if [ "$(wc -l <many.err)" != 1 ] || ! grep -qF -- "kotobun2pdf: $refusal" many.err; then
      fail "kotobun2pdf $name: stderr is not one line with '$refusal': $(cat many.err)"
    fi
    [ ! -s many.out ] || fail "kotobun2pdf $name: printed $(cat many.out)"
  done <<ROWS
a.txt and a.TXT would both make $PWD/a.pdf: rename one of them|a.txt 'b b.txt' a.TXT
--jobs takes a number of runs at once from 1 up, not '0'|--jobs=0 ch1 plain1
--jobs takes a number of runs at once from 1 up, not 'x'|ch1 plain1 -j x
a.txt is a plain text: plain texts and TeX source go in separate calls|ch1 a.txt
ROWS
  if [ ! -s a.pdf ] || [ ! -s ch1.pdf ]; then fail "a refused call removed a PDF"; fi

  # Standard output a closed pipe: no path told, so no PDF kept.
  local status=0
  "$KOTOBUN2PDF" ch1 docs/ch2 2>many.err | true || status=$?
  [ "$status" = 1 ] || fail "standard output a closed pipe: status $status, not 1"
  grep -q "^kotobun2pdf: cannot print the path of a PDF on standard output, from ch1 on" many.err ||
    fail "standard output a closed pipe: $(cat many.err)"
  if [ -e ch1.pdf ] || [ -e docs/ch2.pdf ]; then fail "standard output a closed pipe: a PDF was kept"; fi

  # An interrupt (Ctrl-C, to the foreground group; SIGTERM to the road alone; a hangup, to the
  # group) while TeX runs in two runs and a third waits: every run stops, and no PDF, DVI file or
  # folder is left.
  local signal road tries
  for signal in INT TERM HUP; do
    set -m
    "$KOTOBUN2PDF" -j 2 ch1 spin1 spin2 spin3 >many.out 2>many.err &
    road=$!
    set +m
    tries=0
    until [ -e spin1.dvi ] && [ -e spin2.dvi ]; do
      tries=$((tries + 1))
      if [ "$tries" -gt 300 ]; then
        kill -KILL -- "-$road"
        fail "TeX wrote no spin1.dvi and spin2.dvi in 15 s"
      fi
      sleep 0.05
    done
    if [ "$signal" = TERM ]; then kill -TERM "$road"; else kill "-$signal" -- "-$road"; fi
    status=0
    wait "$road" || status=$?
    [ "$status" = 1 ] || fail "kotobun2pdf, SIG$signal: status $status, not 1"
    expectLines many.out "$PWD/ch1.pdf"
    expectLines many.err \
      "kotobun2pdf: interrupted by SIG$signal; 1 of 4 made, 2 stopped without their PDFs, 1 not started"
    if [ -e spin1.pdf ] || [ -e spin2.pdf ] || [ -e spin3.pdf ]; then fail "a stopped run left its PDF"; fi
    sleep 0.2
    if pgrep -f 'spin[0-9]\.tex' >/dev/null; then fail "TeX still runs after SIG$signal"; fi
    noRoadLeftovers "an interrupted call"
  done
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
  plaintext)
    requireTools latex dvipdfmx kpsewhich iconv pdftotext pdfinfo
    requireKit
    rm -rf ./* ./.[!.]*
    checkPlainText
    ;;
  realtext | realtext-all)
    requireTools latex dvipdfmx kpsewhich iconv pdftotext pdfinfo
    requireKit
    rm -rf ./* ./.[!.]*
    if [ "$check" = realtext ]; then checkRealText some; else checkRealText all; fi
    ;;
  many)
    requireTools latex tex dvipdfmx kpsewhich iconv pdfinfo setsid
    requireKit
    rm -rf ./* ./.[!.]*
    checkMany
    ;;
  lint)
    command -v shellcheck >/dev/null || skipOrFail "shellcheck is not installed" \
      "apt-get install shellcheck"
    shellcheck "$KOTOBUN2PDF" || fail "shellcheck finds faults in kotobun2pdf"
    ;;
  *) fail "no check named $check" ;;
esac
echo "ok: $check"
