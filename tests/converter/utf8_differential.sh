#!/bin/sh
# utf8_differential.sh - the same text in EUC and in UTF-8 (made from it by iconv) converts to the
# same document: /UTF8 on the one and /EUC on the other give the same .tex, byte for byte, apart
# from comment lines (which pass through in their own encoding) and the settings echo lines
# among them, and the same transcript apart from the encoding that the echo names.
#
# Usage: utf8_differential.sh SCRATCH
# Environment: KOTOBUN, MAKE_INPUT (the benchmark's text generator).
set -eu

scratch=$1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

command -v iconv >/dev/null || fail "iconv is missing"
rm -rf "$scratch"
mkdir -p "$scratch/euc" "$scratch/utf8"
cd "$scratch"

# Converts euc/doc.kjx and utf8/doc.kjx with the options given and compares the results.
compare() {
  label=$1
  shift
  status=0
  (cd euc && "$KOTOBUN" doc /EUC "$@" >transcript.txt) || status=$?
  [ "$status" = 0 ] || fail "$label: /EUC ended with status $status"
  (cd utf8 && "$KOTOBUN" doc /UTF8 "$@" >transcript.txt) || status=$?
  [ "$status" = 0 ] || fail "$label: /UTF8 ended with status $status"
  for side in euc utf8; do
    LC_ALL=C grep -v '^%' "$side/doc.tex" >"$side/body.tex" || true
    sed 's/  UTF-8  /  EUC  /' "$side/transcript.txt" >"$side/transcript.cmp"
  done
  cmp -s euc/body.tex utf8/body.tex || fail "$label: the documents differ"
  cmp -s euc/transcript.cmp utf8/transcript.cmp || fail "$label: the transcripts differ"
  [ "$(wc -l <euc/body.tex)" -gt 3 ] || fail "$label: no document was written"
  echo "ok: $label"
}

# Prose with markup, digits, comment lines, directives and empty lines, CR LF line ends.
"$MAKE_INPUT" euc-crlf 1 euc/doc.kjx || fail "cannot write the prose"
iconv -f EUC-JP -t UTF-8 euc/doc.kjx >utf8/doc.kjx || fail "iconv cannot read the prose"
compare "a megabyte of prose"

# Every character that EUC-JP decodes, 40 to a line, under /Standard (so that the warnings about
# places outside JIS '83 are compared too), plain TeX, no added %. The pairs go to iconv one a
# line, so that one it cannot decode (and skips a byte at a time) takes nothing else with it.
LC_ALL=C awk 'BEGIN {
  for (p = 1; p <= 7806; p++) printf "%c%c\n", 161 + int((p - 1) / 94), 161 + (p - 1) % 94
}' >all.euc
iconv -c -f EUC-JP -t UTF-8 all.euc 2>/dev/null |
  awk 'NF { printf "%s", $0; if (++n % 40 == 0) printf "\n" } END { printf "\n" }' >utf8/doc.kjx
iconv -f UTF-8 -t EUC-JP utf8/doc.kjx >euc/doc.kjx || fail "iconv cannot give the characters back"
[ "$(wc -c <utf8/doc.kjx)" -gt 15000 ] || fail "iconv decoded too few characters"
compare "every character of EUC-JP" /Standard /TeX /NoPercent
