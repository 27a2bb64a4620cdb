#!/bin/sh
# kototext_test.sh - a tricky plain text through kototext, kotobun /UTF8, latex and dvipdfmx: no
# line runs past the margin, and every Japanese character comes back from the PDF in order.
#
# Usage: kototext_test.sh SCRATCH
# Environment: KOTOTEXT (the program); KOTOBUN, a kotobun that reads UTF-8, else BUILT_KOTOBUN;
# KIT (the kit's TeX tree, made by the road.kit check). Exits 77 (skipped) when that kotobun
# refuses /UTF8, or when a TeX tool is missing (unless REQUIRE_TYPESETTING=1 makes that a failure).
set -eu

scratch=$1
kotobun=${KOTOBUN:-${BUILT_KOTOBUN:-kotobun}}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

skip() {
  echo "skipped: $*"
  exit 77
}

for tool in latex dvipdfmx pdftotext iconv; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    [ "${REQUIRE_TYPESETTING:-0}" != 1 ] || fail "$tool is not installed, and REQUIRE_TYPESETTING=1"
    skip "$tool is not installed"
  fi
done
[ -s "$KIT/fonts/map/dvipdfmx/kotobun/kanjikit.map" ] || fail "no kit in $KIT: road.kit failed"
TEXMFHOME=$KIT
export TEXMFHOME

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"

# A kotobun that does not read UTF-8 refuses /UTF8 on its command line.
printf 'a\n' >probe.kjx
"$kotobun" probe /UTF8 >probe.out 2>&1 ||
  skip "$kotobun does not read UTF-8: $(tr -d '\007' <probe.out | tail -1)"

# Prints N copies of TEXT.
repeat() {
  i=0
  while [ "$i" -lt "$1" ]; do
    printf '%s' "$2"
    i=$((i + 1))
  done
}

# The text: every special character, a line that begins with "%" and one that looks like a
# directive, runs that kotobun gives no break point (box drawing, full-width digits, closing then
# opening brackets, Latin and full-width letters in turn), a long URL, Aozora Bunko's notation,
# and a paragraph of 20,000 characters on one line.
{
  # shellcheck disable=SC2016 # the dollar sign is text
  printf '%s\n' 'Specials: \ { } $ & # ^ _ % ~ < > | " -- --- `` '"''"' !` ?` and C:\path\to\file_name.'
  printf '%s\n' '% a line that begins with a percent sign' '%KOTOBUN /NoSpace /TeX' ''
  printf '表示の表と能力の能、ソフトの\\記号。\n\n'
  repeat 120 '━'
  printf '\n\n'
  repeat 40 '１２３'
  printf '\n\n'
  repeat 40 '」「'
  printf '\n\n'
  repeat 80 'xａ'
  printf '\n\nhttps://example.com/'
  repeat 30 'segment/'
  printf 'end.html の頁。\n\n'
  printf '%s\n\n' '｜青空《あおぞら》文庫［＃「文庫」に傍点］の注記。'
  repeat 2000 '吾輩は猫である。'
  printf '\n'
} >text.txt

# Prints the Japanese characters of a UTF-8 text, one a line: CJK signs, kana and kanji,
# full-width forms and box drawing, but not the ideographic space, which pdftotext drops, nor
# the quotes and ligatures that TeX's fonts make of ASCII.
japanese() {
  LC_ALL=C.UTF-8 grep -oP '[\x{3001}-\x{9FFF}\x{FF01}-\x{FF60}\x{2500}-\x{257F}]' "$1" || true
}

# Runs the road for the text in ENCODING with kototext's OPTIONS into NAME.pdf.
road() {
  name=$1 encoding=$2
  shift 2
  iconv -f UTF-8 -t "$encoding" text.txt >"$name.txt" || fail "iconv -t $encoding failed"
  "$KOTOTEXT" "$@" "$name.txt" "$name.kjx" || fail "kototext $* $name.txt failed"
  "$kotobun" "$name" >"$name.kotobun.txt" 2>&1 || fail "kotobun $name failed: $(cat "$name.kotobun.txt")"
  if grep -q "$(printf '\007')" "$name.kotobun.txt"; then
    fail "kotobun $name reported an error: $(tr -d '\007' <"$name.kotobun.txt")"
  fi
  latex -interaction=nonstopmode -halt-on-error "$name.tex" >/dev/null 2>&1 ||
    fail "latex $name.tex failed: $(grep -A3 '^!' "$name.log" | head -8)"
  if grep -q '^Overfull' "$name.log"; then
    fail "$name: lines run past the margin: $(grep -A1 '^Overfull' "$name.log" | head -8)"
  fi
  dvipdfmx -f kanjikit.map "$name.dvi" >"$name.dvipdfmx.txt" 2>&1 ||
    fail "dvipdfmx $name.dvi failed: $(tail -3 "$name.dvipdfmx.txt")"
  pdftotext -enc UTF-8 "$name.pdf" "$name.back" || fail "pdftotext $name.pdf failed"
  japanese text.txt >"$name.expected"
  japanese "$name.back" >"$name.actual"
  [ "$(wc -l <"$name.expected")" -gt 16000 ] || fail "the text lost its Japanese characters"
  if ! cmp -s "$name.expected" "$name.actual"; then
    fail "$name: the characters that came back differ (< sent, > came back):
$(diff "$name.expected" "$name.actual" | head -20)"
  fi
}

road utf8 UTF-8
road sjis CP932 --line-paragraphs --paper=a5 --size=12
echo "ok: kototext"
