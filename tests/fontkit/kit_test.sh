#!/bin/sh
# kit_test.sh - the kanji font kit in TeX's hands: metrics, a document and the catalogue as PDF
# files whose text comes back, another font, and every bad input.
#
# Usage: kit_test.sh CHECK SCRATCH
#   metrics     --metrics-only: 61 TFM files that tftopl reads back and the package, nothing else
#   document    the kit in TEXMFHOME; latex and dvipdfmx; one font in the PDF; the Japanese text
#               back from it; a full-width glyph for the minus sign; the package installed, and
#               bold kanji in IPA Gothic beside IPA Mincho, or Mincho with --no-gothic
#   catalogue   every character of the catalogue is in its PDF, in order, and nothing else
#   gothic      --font with IPA Gothic: the map names it, the PDF embeds it; --per-font-map
#   failures    each bad input: its message, status 1, and nothing left looking complete
#   publishing  a run that fails after writing, is interrupted or meets another run: the kit it
#               found stays whole
#   memory      under a memory limit: a message and status 1, not an abort
# Environment: KANJIKIT, KOTOBUN, FONTTABLES (programs), PACKAGE (the source of kotobun.sty). Without the TeX tools, poppler or the
# IPA fonts the check exits 77 (skipped), unless REQUIRE_TYPESETTING=1 makes that a failure.
set -eu

check=$1
scratch=$2
gothic=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf

fail() {
  echo "FAIL: $check: $*" >&2
  exit 1
}

skip() {
  [ "${REQUIRE_TYPESETTING:-0}" != 1 ] || fail "$1, and REQUIRE_TYPESETTING=1"
  echo "skipped: $1 (apt-get install --no-install-recommends texlive-binaries" \
    "texlive-latex-base poppler-utils fonts-ipafont-mincho fonts-ipafont-gothic)"
  exit 77
}

requireTools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
}

requireFonts() {
  [ -n "$(kpsewhich ipam.ttf)" ] || skip "kpsewhich does not find ipam.ttf (IPA Mincho)"
  [ -f "$gothic" ] || skip "$gothic (IPA Gothic) is not installed"
}

# The kit's paths under a tree.
tfmDir() { echo "$1/fonts/tfm/public/kotobun"; }
encDir() { echo "$1/fonts/enc/dvips/kotobun"; }
mapFile() { echo "$1/fonts/map/dvipdfmx/kotobun/kanjikit.map"; }
cmapDir() { echo "$1/fonts/cmap/kotobun"; }
sfdFile() { echo "$1/fonts/sfd/kotobun/kanjikit.sfd"; }
texDir() { echo "$1/tex/latex/kotobun"; }

# Runs kanjikit with the arguments given; it must succeed. Its output goes to kanjikit.out.
kit() {
  "$KANJIKIT" "$@" >kanjikit.out 2>kanjikit.err || fail "kanjikit $*: $(cat kanjikit.err)"
  [ ! -s kanjikit.err ] || fail "kanjikit $* wrote on stderr: $(cat kanjikit.err)"
  [ -z "$(find . -name '.kanjikit-*')" ] || fail "kanjikit $* left a temporary folder"
}

# Checks the TFM files under tree $1 with tftopl: 61 of them, 128 square glyphs at design size $2.
checkMetrics() {
  [ "$(find "$(tfmDir "$1")" -name 'kanji??.tfm' | wc -l)" = 61 ] || fail "not 61 TFM files"
  for font in kanjiaa kanjiac kanjihe; do
    tftopl "$(tfmDir "$1")/$font.tfm" >"$font.pl" || fail "tftopl $font.tfm failed"
    grep -q "^(DESIGNSIZE R $2)\$" "$font.pl" || fail "$font: design size not $2"
    [ "$(grep -c '^(CHARACTER' "$font.pl")" = 128 ] || fail "$font: not 128 characters"
    for dimension in 'CHARWD R 1.0' 'CHARHT R 0.88' 'CHARDP R 0.12'; do
      [ "$(grep -c "^   ($dimension)\$" "$font.pl")" = 128 ] || fail "$font: not 128 ($dimension)"
    done
  done
}

# Checks the encodings, the subfont definition, the CMaps and the map under tree $1, the map
# naming the font $2 in one line for all fonts, or in a line a font when $3 is per-font, and the
# gothic font $4 (if given) for the gothic family, by one line or, when $5 is per-font, a line a
# font.
checkEncodingsAndMap() {
  [ "$(find "$(encDir "$1")" -name 'kanji??.enc' | wc -l)" = 61 ] || fail "not 61 encodings"
  for font in kanjiaa kanjihe; do
    names=$(grep -v '^%' "$(encDir "$1")/$font.enc" | tr ' ' '\n' | grep -c '^/[.u]')
    [ "$names" = 256 ] || fail "$font.enc: $names names, not 256"
  done
  grep -q ' /uni3042 ' "$(encDir "$1")/kanjiac.enc" || fail "kanjiac.enc: no /uni3042"
  # A line a font, aa to he, each naming at least one code; ac starts with a full-width d.
  grep -v '^#' "$(sfdFile "$1")" | grep -v '^ ' | cut -c1-2 >sfd.ids
  [ "$(wc -l <sfd.ids) $(head -1 sfd.ids) $(tail -1 sfd.ids)" = "61 aa he" ] ||
    fail "kanjikit.sfd: not the fonts aa to he: $(tr '\n' ' ' <sfd.ids)"
  grep -q '^ac 0: 0xFF44 ' "$(sfdFile "$1")" || fail "kanjikit.sfd: ac does not start with 0xFF44"
  grep -q ' 0x3041 0x3042 ' "$(sfdFile "$1")" || fail "kanjikit.sfd: no 0x3042"
  grep -q '^ag 0: 0x0000$' "$(sfdFile "$1")" || fail "kanjikit.sfd: the empty font ag maps nothing"
  # The minus sign takes the full-width glyph; its text stays U+2212 (no entry of its own).
  grep -q '^<2212> <2212> <FF0D>$' "$(cmapDir "$1")/Kotobun-Kanji-UCS2" ||
    fail "Kotobun-Kanji-UCS2: the minus sign does not take U+FF0D's glyph"
  ! grep -q '<FF0D>$' "$(cmapDir "$1")/Kotobun-Kanji-UTF16" ||
    fail "Kotobun-Kanji-UTF16: a character reads back as U+FF0D"
  grep -v '^%' "$(mapFile "$1")" | grep -Ev '^kanjig([a-h][a-h] |@)' >map.lines
  grep -E '^kanjig([a-h][a-h] |@)' "$(mapFile "$1")" >gothic.lines || true
  if [ -z "${4:-}" ]; then
    [ ! -s gothic.lines ] || fail "the map has gothic lines: $(head -2 gothic.lines)"
  elif [ "${5:-}" = per-font ]; then
    [ "$(wc -l <gothic.lines)" = 61 ] || fail "the map has not 61 gothic lines"
    [ "$(sed -n 49p gothic.lines)" = "kanjigga <kanjiga.enc <$4" ] ||
      fail "gothic map line: $(sed -n 49p gothic.lines)"
  else
    [ "$(cat gothic.lines)" = "kanjig@kanjikit@ Kotobun-Kanji-H $4" ] ||
      fail "gothic map: $(cat gothic.lines)"
  fi
  if [ "${3:-}" = per-font ]; then
    [ "$(wc -l <map.lines)" = 61 ] || fail "the map has not 61 lines"
    [ "$(sed -n 3p map.lines)" = "kanjiac <kanjiac.enc <$2" ] || fail "map line: $(sed -n 3p map.lines)"
    [ "$(sed -n 61p map.lines)" = "kanjihe <kanjihe.enc <$2" ] || fail "map line: $(sed -n 61p map.lines)"
  else
    [ "$(cat map.lines)" = "kanji@kanjikit@ Kotobun-Kanji-H $2" ] || fail "map: $(cat map.lines)"
  fi
}

# The Japanese characters of a UTF-8 text, in order: without ASCII, the ideographic space
# (which pdftotext drops), the en dash that LaTeX makes of "--" and the bullet that pdftotext
# gives code 127 of a font where no character stands (none of them is in JIS X 0208).
japanese() {
  LC_ALL=C tr -d '\000-\177' | LC_ALL=C sed 's/\xe3\x80\x80//g; s/\xe2\x80\x93//g; s/\xe2\x80\xa2//g'
}

# The round of a document: NAME.kjx (EUC) through kotobun, latex and dvipdfmx with the kit in
# tree $2 as TEXMFHOME; NAME.pdf must embed font $3 once, as a CID font (or, when $5 is per-font,
# as TrueType fonts), and give back the Japanese text of $4.
typesetToPdf() {
  name=$1 tree=$2 fontName=$3 expected=$4 route=${5:-one}
  "$KOTOBUN" "$name" >"$name.out" || fail "kotobun $name: $(cat "$name.out")"
  TEXMFHOME=$tree latex -interaction=nonstopmode -halt-on-error "$name.tex" </dev/null \
    >"$name.latex" 2>&1 || fail "latex $name: $(grep -A3 '^!' "$name.log")"
  TEXMFHOME=$tree dvipdfmx -f kanjikit.map "$name.dvi" >"$name.dvipdfmx" 2>&1 ||
    fail "dvipdfmx $name: $(cat "$name.dvipdfmx")"
  # The catalogue sets the empty positions too, which dvipdfmx warns of (one font: code 0 has
  # no CID; a font a line: two lines each), and the summation sign of row 13, which the IPA fonts
  # lack.
  grep 'warning' "$name.dvipdfmx" | grep -v 'mapped to ".notdef" glyph' |
    grep -v 'Maybe incorrect encoding specified' | grep -v 'No character mapping available' |
    grep -v 'Glyph missing in font. (CID=8721, code=0x2211)' |
    grep -v 'Glyph "uni2211" not available in font' >"$name.warnings" || true
  [ ! -s "$name.warnings" ] || fail "dvipdfmx $name: $(head -5 "$name.warnings")"
  if [ "$name" != fontable ] && grep -q warning "$name.dvipdfmx"; then
    fail "dvipdfmx $name: $(grep warning "$name.dvipdfmx" | head -5)"
  fi
  pdffonts "$name.pdf" >"$name.fonts" || fail "pdffonts $name.pdf failed"
  if [ "$route" = per-font ]; then
    grep -q "+$fontName  *TrueType .* yes yes yes" "$name.fonts" ||
      fail "$name.pdf embeds no $fontName subset: $(cat "$name.fonts")"
  else
    grep -q "+$fontName  *CID TrueType  *Identity-H  *yes yes yes" "$name.fonts" ||
      fail "$name.pdf embeds no $fontName subset as a CID font: $(cat "$name.fonts")"
    [ "$(grep -c "+$fontName " "$name.fonts")" = 1 ] ||
      fail "$name.pdf embeds $fontName more than once: $(cat "$name.fonts")"
  fi
  pdftotext "$name.pdf" "$name.txt" || fail "pdftotext $name.pdf failed"
  japanese <"$name.txt" >"$name.back"
  japanese <"$expected" >"$name.expected"
  [ -s "$name.expected" ] || fail "no Japanese text expected"
  cmp -s "$name.expected" "$name.back" ||
    fail "$name.pdf: the text differs; expected $(head -c 300 "$name.expected"), got $(head -c 300 "$name.back")"
}

# A LaTeX document in UTF-8: kana, kanji of both levels, punctuation and brackets of every
# class, full-width digits and letters, between ASCII words (none with a ligature).
writeDocument() {
  cat >"$1" <<'TEXT'
\documentclass{article}
\begin{document}
Kana: ひらがなとカタカナ、ゐゑヰヱヴヵヶ。 Kanji: 亜唖娃阿哀、腕弌丐丕瑤。
Marks: 「鉤括弧」『二重』（丸）〔亀甲〕［角］｛波｝〈山〉《二重山》【隅付き】．，：；？！
・ー〜…‥々〆〇　ＡＢＣ ａｂｃ ０１２３ ＄％＃＆＊＠§☆★○●◎◇◆□■△▲▽▼※〒→←↑↓
Shared glyphs: ¢と£と¬と―と‖と−。
Plain words between: 日本語の文章 and English text, then 東京 and back.

Widths: ＝−−−−−−−−＝ and ＝ーーーーーーーー＝ end.
\end{document}
TEXT
}

checkMetricsOnly() {
  kit --metrics-only "$scratch/tree"
  checkMetrics "$scratch/tree" 7.0
  [ ! -e "$(encDir "$scratch/tree")" ] || fail "--metrics-only wrote encodings"
  [ ! -e "$(mapFile "$scratch/tree")" ] || fail "--metrics-only wrote a map"
  # TeX's side of the kit: the package too, with bold kanji Mincho (no font, no gothic family).
  cmp -s "$PACKAGE" "$(texDir "$scratch/tree")/kotobun.sty" || fail "--metrics-only: no kotobun.sty"
  grep -qx '\\kbn@gothicfalse' "$(texDir "$scratch/tree")/kotobun.cfg" ||
    fail "--metrics-only: kotobun.cfg does not leave gothic off"
  [ -z "$(find "$scratch/tree" -name 'kanjig??.tfm')" ] || fail "--metrics-only wrote gothic TFMs"
  grep -q "^kanjikit: kanjiaa.tfm ... kanjihe.tfm (design size 7.0pt) in $(tfmDir "$scratch/tree")\$" \
    kanjikit.out || fail "report: $(cat kanjikit.out)"
  kit --metrics-only --design-size 6.5 "$scratch/small"
  checkMetrics "$scratch/small" 6.5
  # The whole kit writes the same metrics as --metrics-only.
  kit "$scratch/whole"
  for font in kanjiaa kanjidd kanjihe; do
    cmp -s "$(tfmDir "$scratch/tree")/$font.tfm" "$(tfmDir "$scratch/whole")/$font.tfm" ||
      fail "$font.tfm differs between the whole kit and --metrics-only"
  done
}

checkDocument() {
  # Without ROOT the kit goes into TEXMFHOME.
  TEXMFHOME=$scratch/tree kit
  checkMetrics "$scratch/tree" 7.0
  checkEncodingsAndMap "$scratch/tree" ipam.ttf "" ipag.ttf
  # IPA Mincho lacks one character, the summation sign of CP932's row 13.
  grep -q '^kanjikit: ipam.ttf lacks a glyph for 847 of the 7806 positions: 846 hold no character, and it lacks 1 character$' \
    kanjikit.out || fail "report: $(cat kanjikit.out)"
  grep -q '^kanjikit: 1 character is drawn with the full-width glyph of the code point CP932 gives it$' \
    kanjikit.out || fail "report: $(cat kanjikit.out)"
  writeDocument doc.utf8
  iconv -f UTF-8 -t EUC-JP doc.utf8 >doc.kjx || fail "iconv doc.utf8"
  typesetToPdf doc "$scratch/tree" IPAMincho doc.utf8
  # Eight minus signs take as much room as eight long vowel marks: the glyphs are as wide as
  # TeX's metrics, so what follows them is drawn where TeX put it.
  pdftotext -bbox doc.pdf doc.html || fail "pdftotext -bbox doc.pdf failed"
  widths=$(LC_ALL=C.UTF-8 awk -F '"' '/<word .*>＝[−ー]*＝</ {printf "%.1f ", $6 - $2}' doc.html)
  # shellcheck disable=SC2086 # the widths are words
  set -- $widths
  [ "$#" = 2 ] || fail "doc.pdf: not two runs of signs: $widths"
  [ "$1" = "$2" ] || fail "doc.pdf: eight minus signs are $1 bp wide, eight long vowel marks $2"
  checkPackage
}

# The kanji fonts that $1.dvi names, one a line, sorted and without repeats.
dviFonts() {
  TEXMFHOME=$scratch/tree dvitype "$1.dvi" >"$1.dvitype" || fail "dvitype $1.dvi failed"
  sed -n 's/^Font [0-9]*: \(kanji[a-h]*\) .*/\1/p' "$1.dvitype" | sort -u
}

# The package in the kit of checkDocument: kotobun.sty as in the source, and kotobun.cfg turning
# gothic on. A section title and \textbf set their kanji in the gothic fonts, which the PDF
# embeds as IPA Gothic once beside IPA Mincho once; with --no-gothic bold kanji stay Mincho.
checkPackage() {
  cmp -s "$PACKAGE" "$(texDir "$scratch/tree")/kotobun.sty" ||
    fail "the installed kotobun.sty differs from $PACKAGE"
  grep -qx '\\kbn@gothictrue' "$(texDir "$scratch/tree")/kotobun.cfg" ||
    fail "kotobun.cfg does not turn gothic on: $(cat "$(texDir "$scratch/tree")/kotobun.cfg")"
  [ "$(find "$(tfmDir "$scratch/tree")" -name 'kanjig??.tfm' | wc -l)" = 61 ] ||
    fail "not 61 gothic TFM files"
  cmp -s "$(tfmDir "$scratch/tree")/kanjiga.tfm" "$(tfmDir "$scratch/tree")/kanjigga.tfm" ||
    fail "kanjigga.tfm has not the metrics of kanjiga.tfm"
  grep -q "^kanjikit: kotobun.sty, kotobun.cfg (bold kanji in gothic) in $(texDir "$scratch/tree")\$" \
    kanjikit.out || fail "report: $(cat kanjikit.out)"
  grep -q '^kanjikit: ipag.ttf lacks a glyph for 847 of the 7806 positions' kanjikit.out ||
    fail "report: $(cat kanjikit.out)"
  cat >bold.utf8 <<'TEXT'
\documentclass{article}
\usepackage{kotobun}
\begin{document}
\section{見出しの漢字}
本文の漢字と\textbf{太字の漢字}、そして本文。
\end{document}
TEXT
  iconv -f UTF-8 -t EUC-JP bold.utf8 >bold.kjx || fail "iconv bold.utf8"
  "$KOTOBUN" bold >bold.out || fail "kotobun bold: $(cat bold.out)"
  TEXMFHOME=$scratch/tree latex -interaction=nonstopmode -halt-on-error bold.tex </dev/null \
    >bold.latex 2>&1 || fail "latex bold: $(grep -A3 '^!' bold.log)"
  for file in kotobun.sty kotobun.cfg; do
    [ "$(TEXMFHOME=$scratch/tree kpsewhich "$file")" = "$(texDir "$scratch/tree")/$file" ] ||
      fail "kpsewhich does not find the installed $file"
  done
  # The kana of the title and of \textbf (block ac) are gothic, those of the body Mincho; the
  # kanji of the title alone (block ca: 見) are gothic only.
  dviFonts bold >bold.fonts
  for font in kanjigac kanjiac kanjigca; do
    grep -qx "$font" bold.fonts || fail "bold.dvi does not use $font: $(cat bold.fonts)"
  done
  ! grep -qx kanjica bold.fonts || fail "bold.dvi: the title's kanji are Mincho: $(cat bold.fonts)"
  TEXMFHOME=$scratch/tree dvipdfmx -f kanjikit.map bold.dvi >bold.dvipdfmx 2>&1 ||
    fail "dvipdfmx bold: $(cat bold.dvipdfmx)"
  ! grep -q warning bold.dvipdfmx || fail "dvipdfmx bold: $(grep warning bold.dvipdfmx)"
  pdffonts bold.pdf >bold.pdffonts || fail "pdffonts bold.pdf failed"
  for font in IPAGothic IPAMincho; do
    [ "$(grep -c "+$font  *CID TrueType  *Identity-H  *yes yes yes" bold.pdffonts)" = 1 ] ||
      fail "bold.pdf does not embed $font once: $(cat bold.pdffonts)"
  done
  pdftotext bold.pdf bold.txt || fail "pdftotext bold.pdf failed"
  japanese <bold.txt >bold.back
  japanese <bold.utf8 >bold.expected
  cmp -s bold.expected bold.back || fail "bold.pdf: the text differs: $(cat bold.back)"
  # Without the gothic family: no gothic fonts anywhere, and bold kanji stay Mincho.
  TEXMFHOME=$scratch/tree kit --no-gothic
  [ -z "$(find "$(tfmDir "$scratch/tree")" -name 'kanjig??.tfm')" ] ||
    fail "--no-gothic left gothic TFM files"
  checkEncodingsAndMap "$scratch/tree" ipam.ttf
  cmp -s "$PACKAGE" "$(texDir "$scratch/tree")/kotobun.sty" || fail "--no-gothic: kotobun.sty differs"
  ! grep -q 'gothictrue' "$(texDir "$scratch/tree")/kotobun.cfg" ||
    fail "--no-gothic: kotobun.cfg turns gothic on"
  TEXMFHOME=$scratch/tree latex -interaction=nonstopmode -halt-on-error bold.tex </dev/null \
    >bold.latex 2>&1 || fail "latex bold, --no-gothic: $(grep -A3 '^!' bold.log)"
  dviFonts bold >bold.fonts
  ! grep -q '^kanjig[a-h][a-h]$' bold.fonts || fail "--no-gothic: bold.dvi uses $(cat bold.fonts)"
  TEXMFHOME=$scratch/tree dvipdfmx -f kanjikit.map bold.dvi >bold.dvipdfmx 2>&1 ||
    fail "dvipdfmx bold, --no-gothic: $(cat bold.dvipdfmx)"
  pdffonts bold.pdf >bold.pdffonts || fail "pdffonts bold.pdf failed"
  ! grep -q IPAGothic bold.pdffonts || fail "--no-gothic: bold.pdf embeds IPA Gothic"
  [ "$(grep -c '+IPAMincho  *CID TrueType' bold.pdffonts)" = 1 ] ||
    fail "--no-gothic: bold.pdf does not embed IPA Mincho once: $(cat bold.pdffonts)"
}

# Every position from 1 to 7806 as the kit names it, one a line: EUC-JP's character, else the
# one CP932 gives its Shift-JIS pair (row 13), else none. iconv -c leaves out what it cannot
# convert and keeps the line ends.
allPositionsInUtf8() {
  LC_ALL=C awk 'BEGIN {
    for (p = 1; p <= 7806; p++) printf "%c%c\n", 161 + int((p - 1) / 94), 161 + (p - 1) % 94
  }' | iconv -c -f EUC-JP -t UTF-8 >euc.lines
  LC_ALL=C awk 'BEGIN {
    for (p = 1; p <= 7806; p++) {
      row = int((p - 1) / 94) + 1; cell = (p - 1) % 94 + 1
      lead = int((row + 1) / 2) + (row <= 62 ? 128 : 192)
      if (row % 2 == 0) trail = cell + 158; else trail = cell + (cell <= 63 ? 63 : 64)
      printf "%c%c\n", lead, trail
    }
  }' | iconv -c -f CP932 -t UTF-8 >cp932.lines
  # A lead byte that iconv -c drops leaves its trail byte, as ASCII or a half-width katakana
  # (U+FF61 to U+FF9F): that is no character of the position.
  paste -d '\t' euc.lines cp932.lines | LC_ALL=C awk -F '\t' '{
    if ($1 != "") print $1
    else if ($2 ~ /[ -~]/ || $2 ~ /^\357\275[\241-\277]/ || $2 ~ /^\357\276[\200-\237]/) print ""
    else print $2
  }'
}

checkCatalogue() {
  kit "$scratch/tree"
  # IPA Mincho holds every character but the summation sign of row 13: the report says so. The
  # PDF gives back every character, that one too (its .notdef glyph keeps its text).
  grep -q ', and it lacks 1 character$' kanjikit.out || fail "report: $(cat kanjikit.out)"
  "$FONTTABLES" >fonttables.out || fail "fonttables failed"
  allPositionsInUtf8 >all.utf8
  [ "$(tr -d '\n' <all.utf8 | LC_ALL=C.UTF-8 wc -m)" = 6960 ] || fail "iconv: not 6960 characters"
  typesetToPdf fontable "$scratch/tree" IPAMincho all.utf8
  # The empty positions show the box and give no text: no letter stands alone in a table's row.
  ! LC_ALL=C.UTF-8 grep -E '(^| )[A-Za-z]( |$)' fontable.txt >fontable.letters ||
    fail "fontable.pdf: empty positions give text: $(head -3 fontable.letters)"
}

checkGothic() {
  kit --font "$gothic" "$scratch/tree"
  checkEncodingsAndMap "$scratch/tree" ipag.ttf "" ipag.ttf
  grep -q '^kanjikit: ipag.ttf lacks a glyph for 847 of the 7806 positions' kanjikit.out ||
    fail "report: $(cat kanjikit.out)"
  writeDocument doc.utf8
  iconv -f UTF-8 -t EUC-JP doc.utf8 >doc.kjx || fail "iconv doc.utf8"
  typesetToPdf doc "$scratch/tree" IPAGothic doc.utf8
  # A map line a font, through the encodings, as before: a TrueType subset a font.
  kit --per-font-map --font "$gothic" "$scratch/tree3"
  checkEncodingsAndMap "$scratch/tree3" ipag.ttf per-font ipag.ttf per-font
  grep -q "^kanjikit: kanjikit.map (61 fonts in ipag.ttf) in " kanjikit.out ||
    fail "report: $(cat kanjikit.out)"
  typesetToPdf doc "$scratch/tree3" IPAGothic doc.utf8 per-font
  # A font that kpathsea does not find is named by its full path, which dvipdfmx takes in a map
  # line a font only: the report says so.
  cp "$gothic" "$scratch/copy.ttf"
  kit --font copy.ttf --gothic "$scratch/copy.ttf" "$scratch/tree2"
  checkEncodingsAndMap "$scratch/tree2" "$scratch/copy.ttf" per-font "$scratch/copy.ttf" per-font
  grep -q "^kanjikit: dvipdfmx takes one font for all only by a name that kpathsea finds" \
    kanjikit.out || fail "report: $(cat kanjikit.out)"
  typesetToPdf doc "$scratch/tree2" IPAGothic doc.utf8 per-font
}

# Runs kanjikit with the arguments after the expected message start (and with KIT_PATH as its
# PATH, if set); it must end with status 1 and that message on stderr.
expectFailure() {
  message=$1
  shift
  status=0
  timeout 20 env PATH="${KIT_PATH:-$PATH}" "$KANJIKIT" "$@" >failure.out 2>failure.err ||
    status=$?
  [ "$status" != 124 ] || fail "kanjikit $*: still running after 20 s"
  [ "$status" = 1 ] || fail "kanjikit $*: status $status, not 1"
  # One line, and the usage line after a bad command line.
  [ "$(grep -cv '^usage: ' failure.err)" = 1 ] ||
    fail "kanjikit $*: not one line on stderr: $(cat failure.err)"
  case $(cat failure.err) in
    "$message"*) ;;
    *) fail "kanjikit $*: message $(cat failure.err), not $message..." ;;
  esac
  [ -z "$(find "$scratch" -name '.kanjikit-*')" ] || fail "kanjikit $* left a temporary folder"
}

# Lists every file under tree $1 with its checksum, to see that a failed run changed nothing.
treeState() {
  if [ -d "$1" ]; then find "$1" -type f -exec cksum {} + | sort; fi
}

checkFailures() {
  expectFailure "kanjikit: cannot read the font $scratch/none.ttf: No such file or directory" \
    --font "$scratch/none.ttf" "$scratch/tree"
  [ ! -e "$scratch/tree" ] || fail "a missing font left a tree behind"
  echo "not a font" >text.ttf
  expectFailure "kanjikit: the font $scratch/text.ttf is not a TrueType or OpenType font" \
    --font text.ttf "$scratch/tree"
  [ ! -e "$scratch/tree" ] || fail "a bad font left a tree behind"
  # A font with a Unicode cmap but without TrueType outlines (no glyf table), as CFF fonts are.
  {
    printf '\000\001\000\000\000\001\000\000\000\000\000\000'           # one table
    printf 'cmap\000\000\000\000\000\000\000\034\000\000\000\044'        # at 28, 36 bytes
    printf '\000\000\000\001\000\003\000\001\000\000\000\014'           # Windows Unicode
    printf '\000\004\000\030\000\000\000\002\000\002\000\000\000\000' # format 4
    printf '\377\377\000\000\377\377\000\001\000\000'                 # the closing segment
  } >cff.otf
  [ "$(wc -c <cff.otf)" = 64 ] || fail "cff.otf: not 64 bytes"
  expectFailure "kanjikit: the font $scratch/cff.otf has no TrueType outlines (glyf table)" \
    --font cff.otf "$scratch/tree"
  [ ! -e "$scratch/tree" ] || fail "a font without outlines left a tree behind"
  # A ROOT inside a file cannot be made (chmod would not stop root, who runs CI).
  echo "a file" >file
  expectFailure "kanjikit: cannot create the folder $scratch/file: Not a directory" \
    "$scratch/file/tree"
  expectFailure "kanjikit: cannot create the folder $scratch/file: Not a directory" \
    --metrics-only "$scratch/file/tree"
  expectFailure "kanjikit: bad design size 0: give points from 1 to 100" --design-size 0 tree
  expectFailure "kanjikit: unknown option --bogus" --bogus
  # Without pltotf (kpsewhich alone on PATH) nothing is written, with or without a font.
  mkdir -p bin
  ln -sf "$(command -v kpsewhich)" bin/kpsewhich
  KIT_PATH=$scratch/bin
  expectFailure "kanjikit: pltotf is not installed" "$scratch/tree"
  expectFailure "kanjikit: pltotf is not installed" --metrics-only "$scratch/tree"
  [ ! -e "$scratch/tree" ] || fail "a run without pltotf left a tree behind"
  # A pltotf that fails at its fifth font: a new tree gets no file, a complete kit stays as it
  # was, and no temporary folder remains.
  pltotf=$(command -v pltotf)
  cat >bin/pltotf <<SCRIPT
#!/bin/sh
count=\$(cat "$scratch/calls" 2>/dev/null || echo 0)
echo \$((count + 1)) >"$scratch/calls"
[ "\$count" -lt 4 ] || exit 3
exec "$pltotf" "\$@"
SCRIPT
  chmod +x bin/pltotf
  KIT_PATH=$scratch/bin:$PATH
  expectFailure "kanjikit: pltotf $scratch/tree/" "$scratch/tree"
  [ -z "$(find "$scratch/tree" -type f ! -name .kanjikit.lock)" ] ||
    fail "a failed run left files: $(find tree -type f)"
  KIT_PATH=
  kit "$scratch/whole"
  KIT_PATH=$scratch/bin:$PATH
  treeState "$scratch/whole" >before
  rm -f calls
  expectFailure "kanjikit: pltotf" --design-size 9 "$scratch/whole"
  KIT_PATH=
  treeState "$scratch/whole" >after
  cmp -s before after || fail "a failed run changed a complete kit"
  checkRefusals
}

# Writes a pltotf into bin/ that runs the real one ($1) as a full disk would let it: writes past
# 512 bytes fail, and it still ends with status 0 ("limited"), or it writes nothing ("empty").
fakePltotf() {
  # shellcheck disable=SC2016
  case $2 in
    limited) body="trap '' XFSZ; ulimit -f 1; exec \"$1\" \"\$@\"" ;;
    empty) body=': >"$2"' ;; # $2 of the fake pltotf, not of this function
  esac
  printf '#!/bin/sh\n%s\n' "$body" >bin/pltotf
  chmod +x bin/pltotf
}

# Fonts, TEXMFHOME values and pltotf outputs that kanjikit must refuse, each with its message,
# status 1 and the kit it found left as it was.
checkRefusals() {
  # A font cut in its glyf table (its cmap whole), a pipe, names a map line cannot hold.
  head -c 3000000 "$gothic" >cut.ttf
  mkfifo fifo.ttf
  cp "$gothic" 'per%cent.ttf'
  cp "$gothic" 'line
end.ttf'
  treeState "$scratch/whole" >before
  while IFS='|' read -r font message; do
    expectFailure "kanjikit: $message" --font "$font" "$scratch/whole"
  done <<TABLE
cut.ttf|the font $scratch/cut.ttf is cut short or damaged: its glyf table
fifo.ttf|the font fifo.ttf is not a regular file
per%cent.ttf|the font's name holds a blank, a quote, a '<', a '%' or a control character
TABLE
  expectFailure "kanjikit: the font's name holds" --font 'line
end.ttf' "$scratch/whole"
  grep -q "which a map line cannot hold: $scratch/line?end.ttf\$" failure.err ||
    fail "the line end is not shown as '?': $(cat failure.err)"
  # The gothic font is checked as the Mincho one is.
  while IFS='|' read -r font message; do
    expectFailure "kanjikit: $message" --gothic "$font" "$scratch/whole"
  done <<TABLE
cut.ttf|the font $scratch/cut.ttf is cut short or damaged: its glyf table
fifo.ttf|the font fifo.ttf is not a regular file
per%cent.ttf|the font's name holds a blank, a quote, a '<', a '%' or a control character
cff.otf|the font $scratch/cff.otf has no TrueType outlines (glyf table)
TABLE
  # TEXMFHOME as a path list, braces, '!!' or a relative folder: TeX would never find the kit.
  for home in "$scratch/a:$scratch/b" "{$scratch/a,$scratch/b}" "!!$scratch/a" relative; do
    export TEXMFHOME="$home"
    expectFailure "kanjikit: TEXMFHOME is $home, not one absolute folder"
    unset TEXMFHOME
  done
  (
    unset HOME TEXMFHOME
    expectFailure "kanjikit: TEXMFHOME is ./texmf, not one absolute folder"
  ) || exit 1
  [ -z "$(find "$scratch" -name '*.tfm' ! -path "$scratch/whole/*")" ] ||
    fail "a refused TEXMFHOME got a kit"
  # pltotf ends with status 0 when its writes fail: the TFM files are checked whole.
  for disk in limited empty; do
    fakePltotf "$pltotf" "$disk"
    KIT_PATH=$scratch/bin:$PATH
    expectFailure "kanjikit: pltotf wrote kanjiaa.tfm cut short or damaged" \
      --metrics-only "$scratch/whole"
    KIT_PATH=
  done
  treeState "$scratch/whole" >after
  cmp -s before after || fail "a refused run changed a complete kit"
}

# Runs kanjikit in the background with a pltotf that takes its time, sends it signal $1 while it
# writes the metrics, and expects the run undone.
interruptRun() {
  cat >bin/pltotf <<SCRIPT
#!/bin/sh
sleep 0.1
exec "$pltotf" "\$@"
SCRIPT
  chmod +x bin/pltotf
  # A background job of a shell without job control starts with SIGINT ignored.
  PATH=$scratch/bin:$PATH env --default-signal=INT "$KANJIKIT" --design-size 9 "$scratch/whole" \
    >failure.out 2>failure.err &
  pid=$!
  tries=0
  until [ -n "$(find "$scratch/whole" -name 'kanjiab.pl')" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || fail "SIG$1: kanjikit wrote no metrics"
    sleep 0.05
  done
  kill -s "$1" "$pid"
  status=0
  wait "$pid" || status=$?
  [ "$status" = 1 ] || fail "SIG$1: status $status, not 1"
  grep -q "^kanjikit: interrupted by SIG$1 while writing the metrics; the kit stays as it was\$" \
    failure.err || fail "SIG$1: message $(cat failure.err)"
  [ -z "$(find "$scratch" -name '.kanjikit-*')" ] || fail "SIG$1 left a temporary folder"
}

checkPublishing() {
  mkdir -p bin
  pltotf=$(command -v pltotf)
  kit "$scratch/whole"
  treeState "$scratch/whole" >before
  # A report that cannot be written: the run fails and puts the old kit back.
  status=0
  "$KANJIKIT" --design-size 9 "$scratch/whole" >/dev/full 2>failure.err || status=$?
  [ "$status" = 1 ] || fail "report to a full disk: status $status, not 1"
  grep -q '^kanjikit: cannot write the report on standard output: .*; the kit stays as it was$' \
    failure.err || fail "report to a full disk: message $(cat failure.err)"
  # A kit that TeX would not take, since another tree holds a kanjiaa.tfm before TEXMFHOME.
  mkdir -p shadow/fonts/tfm/other
  cp "$(tfmDir "$scratch/whole")/kanjiaa.tfm" shadow/fonts/tfm/other/
  export TEXMFHOME="$scratch/whole" TEXMFVAR="$scratch/shadow"
  expectFailure "kanjikit: kpsewhich finds another kanjiaa.tfm, $scratch/shadow/" --design-size 9
  unset TEXMFHOME TEXMFVAR
  # A kotobun.sty and a kanjiaa.tfm in the current folder, which TeX takes only there, are not
  # another kit.
  mkdir -p here
  cp "$PACKAGE" "$(tfmDir "$scratch/whole")/kanjiaa.tfm" here/
  (cd here && TEXMFHOME=$scratch/whole kit) || exit 1
  treeState "$scratch/whole" >before
  # The map's folder cannot be replaced: metrics and encodings go back too.
  map=$(dirname "$(mapFile "$scratch/whole")")
  mv "$map" map.saved
  echo "not a folder" >"$map"
  treeState "$scratch/whole" >before.file
  expectFailure "kanjikit: cannot move the old $map aside" --design-size 9 "$scratch/whole"
  treeState "$scratch/whole" >after.file
  cmp -s before.file after.file || fail "a failed move changed the kit"
  rm "$map"
  mv map.saved "$map"
  # Another run holds the tree's lock.
  status=0
  flock "$scratch/whole/.kanjikit.lock" "$KANJIKIT" --design-size 9 "$scratch/whole" \
    >failure.out 2>failure.err || status=$?
  [ "$status" = 1 ] || fail "a held lock: status $status, not 1"
  grep -q "^kanjikit: another kanjikit is writing into $scratch/whole " failure.err ||
    fail "a held lock: message $(cat failure.err)"
  for signal in INT TERM HUP; do interruptRun "$signal"; done
  # What a killed run left (kill -9 cannot be caught) goes with the next run.
  mkdir -p "$scratch/whole/fonts/enc/dvips/.kanjikit-Killed/.kanjikit-Older"
  touch "$scratch/whole/fonts/enc/dvips/.kanjikit-Killed/.kanjikit-Older/kanjiaa.enc"
  kit "$scratch/whole"
  # A folder of the user's in a kit folder stops the run, which would remove it.
  mkdir "$(tfmDir "$scratch/whole")/mine"
  expectFailure "kanjikit: cannot keep $(tfmDir "$scratch/whole")/mine, which is not the kit's" \
    --design-size 9 "$scratch/whole"
  rmdir "$(tfmDir "$scratch/whole")/mine"
  treeState "$scratch/whole" >after
  cmp -s before after || fail "a failed or interrupted run changed the kit"
  # The user's files in a kit folder stay; a kit folder that links elsewhere is replaced there.
  echo "my notes" >"$(encDir "$scratch/whole")/notes.txt"
  mv "$(tfmDir "$scratch/whole")" linked
  ln -s "$scratch/linked" "$(tfmDir "$scratch/whole")"
  kit --design-size 9 "$scratch/whole"
  [ "$(cat "$(encDir "$scratch/whole")/notes.txt")" = "my notes" ] || fail "the user's file went"
  [ -L "$(tfmDir "$scratch/whole")" ] || fail "the link to the metrics went"
  tftopl linked/kanjiaa.tfm | grep -q '^(DESIGNSIZE R 9.0)$' || fail "the linked metrics are old"
  # Two runs at once: each ends whole or refused, and the kit is one run's, not a mix.
  for round in 1 2 3; do
    "$KANJIKIT" --font "$gothic" --design-size 9 "$scratch/whole" >a.out 2>a.err &
    first=$!
    "$KANJIKIT" --design-size 8 "$scratch/whole" >b.out 2>b.err || true
    wait "$first" || true
    for run in a b; do
      [ ! -s "$run.err" ] || grep -q '^kanjikit: another kanjikit is writing into' "$run.err" ||
        fail "two runs, round $round: $(cat "$run.err")"
    done
    tftopl "$(tfmDir "$scratch/whole")/kanjihe.tfm" >he.pl
    case "$(grep '^(DESIGNSIZE' he.pl) $(grep '^kanji@' "$(mapFile "$scratch/whole")" | sort -u -k3)" in
      "(DESIGNSIZE R 9.0) kanji@"*" ipag.ttf" | "(DESIGNSIZE R 8.0) kanji@"*" ipam.ttf") ;;
      *) fail "two runs, round $round: a mixed kit" ;;
    esac
  done
  [ -z "$(find "$scratch" -name '.kanjikit-*')" ] || fail "two runs left a temporary folder"
}

# A font whose cmap claims 60 MiB (a sparse file): under a limit of 40 MiB of address space the
# allocation fails, which must end in a message, not an abort.
checkMemory() {
  if [ -n "${SANITIZED:-}" ]; then
    echo "skipped: the sanitizers reserve more address space than any limit lets through"
    exit 77
  fi
  {
    printf '\000\001\000\000\000\001\000\000\000\000\000\000'
    printf 'cmap\000\000\000\000\000\000\000\034\003\300\000\000'
  } >big.ttf
  truncate -s $((28 + 0x03C00000)) big.ttf
  status=0
  (
    # shellcheck disable=SC3045 # dash and bash both take -v
    ulimit -v 40000
    exec "$KANJIKIT" --font big.ttf "$scratch/tree" >failure.out 2>failure.err
  ) || status=$?
  [ "$status" = 1 ] || fail "out of memory: status $status, not 1 ($(cat failure.err))"
  grep -q '^kanjikit: out of memory while reading the font$' failure.err ||
    fail "out of memory: message $(cat failure.err)"
  [ ! -e "$scratch/tree" ] || fail "out of memory: a tree was made"
}

case $check in
  metrics) requireTools pltotf tftopl ;;
  document) requireTools pltotf kpsewhich latex dvipdfmx dvitype pdftotext pdffonts iconv ;;
  gothic) requireTools pltotf kpsewhich latex dvipdfmx pdftotext pdffonts iconv ;;
  catalogue) requireTools pltotf kpsewhich latex dvipdfmx pdftotext pdffonts iconv ;;
  failures) requireTools pltotf kpsewhich ;;
  publishing) requireTools pltotf kpsewhich tftopl flock ;;
  memory) ;;
  *) fail "no check named $check" ;;
esac
case $check in metrics | memory) ;; *) requireFonts ;; esac
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
case $check in
  metrics) checkMetricsOnly ;;
  document) checkDocument ;;
  catalogue) checkCatalogue ;;
  gothic) checkGothic ;;
  failures) checkFailures ;;
  publishing) checkPublishing ;;
  memory) checkMemory ;;
esac
echo "ok: $check"
