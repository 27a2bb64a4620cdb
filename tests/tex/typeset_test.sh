#!/usr/bin/env bash
# typeset_test.sh - converts documents with kotobun and checks that latex or tex sets them whole.
#
# Usage: typeset_test.sh CHECK SCRATCH [ARG]
#   fonts                 makes the kanji fonts' metrics into $FONTS and checks two of them
#   example FILE          converts examples/FILE with its own settings and typesets it
#   sizes-directives      one LaTeX document that directives take through all seven sizes
#   sizes-options         plain TeX documents, one per size, chosen by command-line options
#   catalogue             fonttables, kotobun fontable, latex: every glyph of every font
#   utf8                  UTF-8 documents for latex and tex with every character that comes out as
#                         TeX text, a half-width kana and characters set as the geta mark
#   package               a document that loads kotobun.sty: kanji at the sizes of LaTeX's fonts
# Environment: KOTOBUN, FONTTABLES, KANJIKIT (programs), KIT_ROOT (the TeX tree that
# kanjikit --metrics-only writes), FONTS (the folder of its TFM files in that tree),
# EXAMPLES (the examples folder), E2E_CASES (the converter's end-to-end cases), PACKAGE (the
# LaTeX package kotobun.sty). Without TeX the
# check exits 77 (skipped), unless REQUIRE_TYPESETTING=1 makes that a failure.
#
# A typeset document passes when TeX ends without an error or a missing character, the kanji
# fonts in its DVI file are exactly those its header declares, each at the size its magnification
# gives (design size 10pt: scaled 1440 is 14.4pt), and the DVI file sets exactly the glyphs that
# the converted text refers to, or that the check itself expects.
set -euo pipefail

check=$1
scratch=$2
arg=${3:-}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

requireTools() {
  local tool
  for tool in latex tex pltotf tftopl dvitype; do
    if ! command -v "$tool" >/dev/null; then
      if [ "${REQUIRE_TYPESETTING:-0}" = 1 ]; then
        fail "$tool is not installed, and REQUIRE_TYPESETTING=1"
      fi
      echo "skipped: $tool is not installed" \
        "(apt-get install --no-install-recommends texlive-binaries texlive-latex-base)"
      exit 77
    fi
  done
}

# ORDER SIZES: magnification by size letter a to g.
magnification() {
  case $1 in
    a) echo 1000 ;; b) echo 1095 ;; c) echo 1200 ;; d) echo 1440 ;;
    e) echo 1728 ;; f) echo 2074 ;; g) echo 2488 ;;
    *) fail "no size letter: $1" ;;
  esac
}

# Prints the EUC bytes of the given bitmap numbers.
euc() {
  LC_ALL=C awk -v list="$*" 'BEGIN {
    n = split(list, p, " ")
    for (i = 1; i <= n; i++) printf "%c%c", 161 + int((p[i] - 1) / 94), 161 + (p[i] - 1) % 94
  }'
}

# Prints the Shift-JIS bytes of the given bitmap numbers.
sjis() {
  LC_ALL=C awk -v list="$*" 'BEGIN {
    n = split(list, p, " ")
    for (i = 1; i <= n; i++) {
      j1 = 32 + int((p[i] - 1) / 94) + 1
      j2 = 32 + (p[i] - 1) % 94 + 1
      lead = int((j1 + 1) / 2) + (j1 <= 94 ? 112 : 176)
      if (j1 % 2) trail = j2 + (j2 <= 95 ? 31 : 32); else trail = j2 + 126
      printf "%c%c", lead, trail
    }
  }'
}

# Prints "kanjiXX MAG CODE", one line a glyph, for the given bitmap numbers at magnification MAG.
expectedGlyphs() {
  local mag=$1
  shift
  awk -v mag="$mag" -v list="$*" 'BEGIN {
    n = split(list, p, " ")
    for (i = 1; i <= n; i++) {
      block = int(p[i] / 128)
      printf "kanji%c%c %d %d\n", 97 + int(block / 8), 97 + block % 8, mag, p[i] % 128
    }
  }'
}

# Runs kotobun on NAME (in the current folder) with the options given; it must complete.
convert() {
  local name=$1
  shift
  local status=0
  "$KOTOBUN" "$name" "$@" >"$name.out" || status=$?
  [ "$status" = 0 ] || fail "kotobun $name $* ended with status $status: $(cat "$name.out")"
  grep -q '^Japanese to \[La\]TeX conversion completed\.$' "$name.out" ||
    fail "kotobun $name $*: no completion message"
  if LC_ALL=C grep -q $'\a' "$name.out"; then fail "kotobun $name $*: $(cat "$name.out")"; fi
}

# Runs latex or tex (as the converter's transcript says) on NAME.tex; no error may occur.
typeset() {
  local name=$1 engine=latex status=0
  grep -q '^Writing TeX header$' "$name.out" && engine=tex
  TFMFONTS="$FONTS:" MKTEXTFM=0 "$engine" -interaction=nonstopmode -halt-on-error "$name.tex" \
    </dev/null >"$name.typeset" 2>&1 || status=$?
  [ "$status" = 0 ] || fail "$engine $name ended with status $status:
$(grep -a -A3 '^!' "$name.log" || tail -20 "$name.typeset")"
  if grep -aq '^!' "$name.log"; then fail "$engine $name: $(grep -a -A3 '^!' "$name.log")"; fi
  if grep -aq 'Missing character' "$name.log"; then
    fail "$engine $name: $(grep -a 'Missing character' "$name.log" | head -5)"
  fi
  [ -s "$name.dvi" ] || fail "$engine $name wrote no DVI file"
}

# From NAME.tex: NAME.declared ("kanjiXX MAG", sorted) from the header, and NAME.referenced
# ("kanjiXX MAG CODE", sorted) from the glyph references of the body.
readConvertedText() {
  local name=$1 id file mag
  tr -d '\r' <"$name.tex" >"$name.lf"
  : >"$name.ids"
  while read -r id file mag; do
    [ "$(magnification "${id:1:1}")" = "$mag" ] || fail "$name: \\$id declared at $mag"
    [ "kanji${id:2:2}" = "$file" ] || fail "$name: \\$id declared as $file"
    echo "$id $file $mag" >>"$name.ids"
  done < <(sed -n -e 's/^\\newfont{\\\(k[a-g][a-h][a-h]\)}{\(kanji[a-h][a-h]\) scaled \([0-9]*\)}$/\1 \2 \3/p' \
    -e 's/^\\font\\\(k[a-g][a-h][a-h]\)=\(kanji[a-h][a-h]\) scaled \([0-9]*\)$/\1 \2 \3/p' "$name.lf")
  cut -d' ' -f2,3 "$name.ids" | sort >"$name.declared"
  [ -z "$(uniq -d "$name.declared")" ] || fail "$name: a font is declared twice"
  LC_ALL=C grep -o '\\kk{\\k[a-g][a-h][a-h]}{[0-9]*}' "$name.lf" |
    sed 's/^\\kk{\\\(k...\)}{\([0-9]*\)}$/\1 \2/' |
    awk -v name="$name" -v ids="$name.ids" '
      BEGIN { while ((getline line < ids) > 0) { split(line, d, " "); font[d[1]] = d[2] " " d[3] } }
      !($1 in font) { print name ": \\" $1 " is not declared" > "/dev/stderr"; exit 1 }
      { print font[$1], $2 }' |
    sort >"$name.referenced" || fail "$name: glyph references to undeclared fonts"
}

# From NAME.dvi: NAME.loaded ("kanjiXX MAG", sorted) and NAME.set ("kanjiXX MAG CODE", sorted, one
# line a character set in a kanji font). Every font must load at the size its magnification gives.
readDvi() {
  local name=$1
  TFMFONTS="$FONTS:" dvitype -output-level=2 "$name.dvi" >"$name.dvitype" ||
    fail "dvitype $name.dvi failed"
  # At this output level the font definitions in the pages say where each font loaded, and the
  # postamble at the end names its magnification.
  awk -v loaded="$name.loaded.raw" '
    /^[0-9]+: fntdef[1-4] [0-9]+: / {
      num = $3; sub(/:$/, "", num)
      rest = $0; sub(/^[0-9]+: fntdef[1-4] [0-9]+: /, "", rest)
      file = rest; sub(/---.*/, "", file)
      if (file !~ /^kanji[a-h][a-h]$/) next
      if (rest !~ /---loaded at size [0-9]+ DVI units/) {
        print "font " file " not loaded: " rest > "/dev/stderr"; bad = 1; next
      }
      size = rest; sub(/.*---loaded at size /, "", size); sub(/ .*/, "", size)
      kanji[num] = file; atSize[num] = size
      next
    }
    /^[0-9]+: fntnum[0-9]+/ { current = $2; sub(/^fntnum/, "", current); next }
    /^[0-9]+: fnt[1-4] / { current = $3; next }
    /^[0-9]+: setchar[0-9]+/ { code = $2; sub(/^setchar/, "", code); set(current, code); next }
    /^[0-9]+: set[1-4] / { set(current, $3); next }
    /^Font [0-9]+: kanji/ {
      num = $2; sub(/:$/, "", num)
      mag[num] = ($4 == "scaled") ? $5 : 1000
      next
    }
    function set(font, code) { if (font in kanji) glyphs[++count] = font " " code }
    END {
      for (num in kanji) {
        if (!(num in mag)) { print "font " kanji[num] " missing from the postamble" > "/dev/stderr"; exit 1 }
        if (atSize[num] != int(655360 * mag[num] / 1000)) {
          print "font " kanji[num] " scaled " mag[num] " loaded at " atSize[num] " DVI units" > "/dev/stderr"
          bad = 1
        }
        print kanji[num], mag[num] > loaded
      }
      for (i = 1; i <= count; i++) {
        split(glyphs[i], g, " ")
        print kanji[g[1]], mag[g[1]], g[2]
      }
      exit bad
    }
  ' "$name.dvitype" | sort >"$name.set" || fail "$name.dvi: kanji fonts not loaded as declared"
  touch "$name.loaded.raw"
  sort "$name.loaded.raw" >"$name.loaded"
}

# Compares two sorted lists; on a difference shows its start.
sameList() {
  local expected=$1 actual=$2 what=$3
  if ! cmp -s "$expected" "$actual"; then
    fail "$what differ (< expected, > actual):
$(diff "$expected" "$actual" | head -20)"
  fi
}

# Typesets NAME.tex and checks its fonts against its header and its glyphs against its text.
typesetAndCheck() {
  local name=$1
  typeset "$name"
  readConvertedText "$name"
  readDvi "$name"
  sameList "$name.declared" "$name.loaded" "$name: fonts declared and fonts in the DVI file"
  sameList "$name.referenced" "$name.set" "$name: glyphs referenced and glyphs set"
}

checkFonts() {
  rm -rf "$KIT_ROOT"
  # At a design size of 10pt, as every check here expects; kanjikit's own default is smaller.
  "$KANJIKIT" --metrics-only --design-size 10 "$KIT_ROOT" >/dev/null || fail "kanjikit failed"
  local count
  count=$(find "$FONTS" -name 'kanji??.tfm' | wc -l)
  [ "$count" = 61 ] || fail "$count fonts made, not 61"
  [ -z "$(find "$KIT_ROOT" -name '.kanjikit-*')" ] || fail "kanjikit left a temporary folder"
  local font
  for font in kanjiaa kanjihe; do
    tftopl "$FONTS/$font.tfm" >"$scratch/$font.pl" || fail "tftopl $font.tfm failed"
    [ "$(grep -c '^(CHARACTER' "$scratch/$font.pl")" = 128 ] || fail "$font: not 128 characters"
    [ "$(grep -c '^   (CHARWD R 1.0)$' "$scratch/$font.pl")" = 128 ] || fail "$font: widths not 1em"
    [ "$(grep -c '^   (CHARHT R 0.88)$' "$scratch/$font.pl")" = 128 ] || fail "$font: heights"
    [ "$(grep -c '^   (CHARDP R 0.12)$' "$scratch/$font.pl")" = 128 ] || fail "$font: depths"
    grep -q '^(DESIGNSIZE R 10.0)$' "$scratch/$font.pl" || fail "$font: design size not 10pt"
  done
}

checkExample() {
  cp "$EXAMPLES/$arg" .
  # The end-to-end case of an example holds a copy of it, whose expected output must stay in step.
  local copy=$E2E_CASES/example-${arg%.*}/$arg
  [ ! -e "$copy" ] || cmp -s "$arg" "$copy" || fail "$copy differs from examples/$arg"
  convert "${arg%.*}"
  typesetAndCheck "${arg%.*}"
}

# Bitmaps for the size with index I (0 to 6): the first and last characters, the last of block 0
# and the first of block 1, and the first character of every seventh block from block I on, so
# that the seven sizes together reach every font. (All 61 fonts at all seven sizes would be more
# than dvitype can hold.)
glyphsForSize() {
  local list="1 127 128 7806" block
  for ((block = $1; block <= 60; block += 7)); do
    [ "$block" = 0 ] || list+=" $((block * 128))"
  done
  echo "$list"
}

checkSizesByDirectives() {
  local name=sizes
  # ORDER SIZES: one directive spelling for each size, 1000 to 2488.
  local directives=("/0.0" "/1095" "/1" "/2.0" "/1728" "/4" "/5.0")
  local letters=(a b c d e f g)
  local i
  : >"$name.expected"
  {
    printf '\\documentclass{article}\n\\begin{document}\n'
    printf '%% %s: no font for a comment\n' "$(euc 1411 7806)"
    for i in "${!directives[@]}"; do
      printf '%%KOTOBUN %s\n' "${directives[$i]}"
      printf 'Size %s: %s.\n\n' "${letters[$i]}" "$(euc "$(glyphsForSize "$i")")"
      expectedGlyphs "$(magnification "${letters[$i]}")" "$(glyphsForSize "$i")" >>"$name.expected"
    done
    printf '\\end{document}\n'
  } >"$name.kjx"
  sort -o "$name.expected" "$name.expected"
  convert "$name"
  typesetAndCheck "$name"
  sameList "$name.expected" "$name.set" "$name: glyphs expected and glyphs set"
  cut -d' ' -f2 "$name.loaded" | sort -u | tr '\n' ' ' >"$name.sizes"
  [ "$(cat "$name.sizes")" = "1000 1095 1200 1440 1728 2074 2488 " ] ||
    fail "$name: sizes in the DVI file: $(cat "$name.sizes")"
  cut -d' ' -f1 "$name.loaded" | sort -u >"$name.blocks"
  [ "$(wc -l <"$name.blocks")" = 61 ] || fail "$name: $(wc -l <"$name.blocks") fonts, not 61"
}

checkSizesByOptions() {
  # Blocks 0, 1, 2 and 60: punctuation of every class, a kana, the first and last characters.
  local glyphs="1 2 3 6 7 42 43 54 55 128 284 286 7700 7806"
  # ORDER SIZES: one option spelling for each size, with other settings that change the glue.
  local options=("/0" "/0.5 /NoSpace" "/1200 /NoPercent" "/2" "/3.0 /MSKanji" "/2074"
    "/2488 /NoSpace /NoPercent")
  local letters=(a b c d e f g)
  local i name encode
  for i in "${!options[@]}"; do
    name=size${letters[$i]}
    encode=euc
    case ${options[$i]} in *MSKanji*) encode=sjis ;; esac
    {
      printf 'Size %s, options %s.\n' "${letters[$i]}" "${options[$i]}"
      printf '%s\n' "$($encode "$glyphs")"
      printf 'A%sB%s 9%s\n\n' "$($encode 284)" "$($encode 3)" "$($encode 55 2)"
      printf '%s\n%s\n\n\\bye\n' "$($encode 54 284 3)" "$($encode 7806 7)"
    } >"$name.kjx"
    # shellcheck disable=SC2086 # the options are separate arguments
    convert "$name" /TeX ${options[$i]}
    typesetAndCheck "$name"
    expectedGlyphs "$(magnification "${letters[$i]}")" "$glyphs" 284 3 55 2 54 284 3 7806 7 |
      sort >"$name.expected"
    sameList "$name.expected" "$name.set" "$name: glyphs expected and glyphs set"
  done
}

checkCatalogue() {
  local status=0
  "$FONTTABLES" >fonttables.out || status=$?
  [ "$status" = 0 ] || fail "fonttables ended with status $status"
  [ -s fontable.kjx ] || fail "fonttables wrote no fontable.kjx"
  convert fontable
  if grep -q Warning fontable.out; then fail "kotobun fontable warned: $(cat fontable.out)"; fi
  typesetAndCheck fontable
  local all
  all=$(seq -s' ' 1 7806)
  expectedGlyphs 1728 "$all" | sort >fontable.expected
  sameList fontable.expected fontable.set "fontable: every glyph once, and glyphs set"
  cut -d' ' -f1,2 fontable.expected | sort -u >fontable.fonts
  sameList fontable.fonts fontable.loaded "fontable: all 61 fonts at 1728, and fonts in the DVI"
}

# Every character that kotobun /UTF8 writes as TeX text, with a no-break space between two of
# them; kana around them and characters without a JIS X 0208 place (the geta mark, 2-14).
checkUtf8() {
  local texText=$'¡©\u00AD®²³µ·¹¿ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÑÒÓÔÕÖØÙÚÛÜÝß\u00A0àáâãäåæçèéêëìíîïñòóôõöøùúûüýÿıŁłŒœ\u2002\u2003\u2009–•™'
  local name engine
  for name in utf8latex utf8plain; do
    {
      [ "$name" = utf8latex ] && printf '\\documentclass{article}\n\\begin{document}\n'
      printf 'あ%sい\n' "$texText"
      printf 'café、ｶﾞ😀𠮷。\n'
      [ "$name" = utf8latex ] && printf '\\end{document}\n' || printf '\\bye\n'
    } >"$name.kjx"
    engine=/LaTeX
    [ "$name" = utf8plain ] && engine=/TeX
    convert "$name" /UTF8 "$engine"
    [ "$(grep -c 'set as the geta mark' "$name.out")" = 2 ] ||
      fail "$name: not two geta warnings: $(cat "$name.out")"
    typesetAndCheck "$name"
    # あ い 、 ガ 〓 〓 。 at 1440
    expectedGlyphs 1440 284 286 2 388 108 108 3 | sort >"$name.expected"
    sameList "$name.expected" "$name.set" "$name: glyphs expected and glyphs set"
  done
}

# With kotobun.sty the kanji follow LaTeX's sizes: in a 12pt document a kanji at the default
# magnification (1440) is 12pt, at 1728 1.2 times the current size; with design size 10 the DVI
# shows them scaled 1200, 1440 and so on. The glyph codes stay those of the text, and with the
# option gothic bold kanji come from the fonts kanjigaa ... kanjighe.
checkPackage() {
  local name=package
  # Punctuation of every class (blocks aa and af, the middle dot of block ad), kana and kanji.
  local text="3 284 2 54 286 55 3 42 6 469 7 43 691 696 697 1411 7806"
  local bold="1411 1412 2"
  # Pairs of glyphs at 12pt and their width in sp: two full-width glyphs (1572864sp) less half an
  # em where the white of one meets that of the other (。」 、「), and the kern of 1 or 2sp that
  # follows a stop or a bracket. A width in sp is exact, whatever the engine's rounding.
  local pairs=("3 55" "2 54" "284 54" "55 284" "3 284")
  local widths=(1179649 1179650 1572866 1572865 1572865)
  {
    printf '\\documentclass[12pt]{article}\n\\usepackage{kotobun}\n\\begin{document}\n'
    printf '\\section{%s}\n\n' "$(euc "$text")"
    printf '%s AB%sCD {\\large %s} {\\footnotesize %s}\n' "$(euc "$text")" "$(euc 284)" \
      "$(euc "$text")" "$(euc "$text")"
    local pair
    for pair in "${pairs[@]}"; do
      printf '\\setbox0\\hbox{%s}\\typeout{pair %s: \\number\\wd0}\\box0\n' "$(euc "$pair")" \
        "$pair"
    done
    printf '\\textbf{%s}\n%%KOTOBUN /3.0\n%s\n\\end{document}\n' "$(euc "$bold")" \
      "$(euc "$text")"
  } >"$name.kjx"
  {
    # ORDER SIZES: normal 12pt, \section 17.28pt, \large 14.4pt, \footnotesize 10pt; then
    # magnification 1728 at 12pt.
    expectedGlyphs 1200 "$text" 284 "${pairs[*]}" "$bold"
    expectedGlyphs 1728 "$text"
    expectedGlyphs 1440 "$text" "$text"
    expectedGlyphs 1000 "$text"
  } | sort >"$name.expected"
  convert "$name"
  TEXINPUTS="$(dirname "$PACKAGE"):" typeset "$name"
  readConvertedText "$name"
  readDvi "$name"
  sameList "$name.expected" "$name.set" "$name: glyphs expected and glyphs set"
  cut -d' ' -f1,3 "$name.referenced" | sort >"$name.codes"
  cut -d' ' -f1,3 "$name.set" | sort >"$name.codes-set"
  sameList "$name.codes" "$name.codes-set" "$name: glyph codes referenced and set"
  local i
  for i in "${!pairs[@]}"; do
    grep -aqx "pair ${pairs[$i]}: ${widths[$i]}" "$name.log" ||
      fail "$name: glyphs ${pairs[$i]} not ${widths[$i]}sp wide:" \
        "$(grep -a "^pair ${pairs[$i]}:" "$name.log")"
  done
  # The gothic fonts: the Mincho metrics under their names, for the DVI alone.
  mkdir -p gothic
  local font
  for font in "$FONTS"/kanji??.tfm; do
    font=${font##*/}
    cp "$FONTS/$font" "gothic/kanjig${font#kanji}"
  done
  sed 's/^\\usepackage{kotobun}/\\usepackage[gothic]{kotobun}/' "$name.tex" >"$name-gothic.tex"
  cp "$name.out" "$name-gothic.out"
  FONTS="$FONTS:$PWD/gothic" TEXINPUTS="$(dirname "$PACKAGE"):" typeset "$name-gothic"
  TFMFONTS="$FONTS:gothic:" dvitype "$name-gothic.dvi" >"$name-gothic.dvitype" ||
    fail "dvitype $name-gothic.dvi failed"
  # Bold: the title (the six fonts of its glyphs at 17.28pt) and \textbf (two fonts at 12pt).
  sed -n 's/^Font [0-9]*: \(kanjig[a-h][a-h]\) scaled \([0-9]*\).*/\1 \2/p' \
    "$name-gothic.dvitype" | sort >"$name-gothic.fonts"
  printf 'kanjig%s 1728\n' aa ac ad af bd he >"$name-gothic.expected"
  printf 'kanjig%s 1200\n' aa bd >>"$name-gothic.expected"
  sort -o "$name-gothic.expected" "$name-gothic.expected"
  sameList "$name-gothic.expected" "$name-gothic.fonts" "$name: bold kanji fonts expected and used"
}

requireTools
mkdir -p "$scratch"
cd "$scratch"
case $check in
  fonts) checkFonts ;;
  example) rm -f ./*; checkExample ;;
  sizes-directives) rm -f ./*; checkSizesByDirectives ;;
  sizes-options) rm -f ./*; checkSizesByOptions ;;
  catalogue) rm -f ./*; checkCatalogue ;;
  utf8) rm -f ./*; checkUtf8 ;;
  package) rm -rf ./*; checkPackage ;;
  *) fail "no check named $check" ;;
esac
echo "ok: $check $arg"
