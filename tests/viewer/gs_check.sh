#!/bin/sh
# Checks that skimpo prints exactly the strings that Ghostscript's text extraction finds on a page.
# Usage: gs_check.sh SKIMPO FILE.PS SCRATCH
skimpo=$1
page=$2
scratch=$3

if ! command -v gs >/dev/null 2>&1; then
  echo "gs not found"
  if [ "$REQUIRE_TYPESETTING" = 1 ]; then exit 1; fi
  exit 77
fi

rm -rf "$scratch" && mkdir -p "$scratch" || exit 1
if ! gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=txtwrite -sOutputFile="$scratch/gs.txt" "$page" \
    >"$scratch/gs.log" 2>&1; then
  echo "gs failed on $page:"
  cat "$scratch/gs.log"
  exit 1
fi
if [ -s "$scratch/gs.log" ]; then
  echo "gs reported:"
  cat "$scratch/gs.log"
  exit 1
fi

# The sample puts every string on a text line of its own: keep the text, drop the layout.
sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e '/^$/d' "$scratch/gs.txt" >"$scratch/expected"
if [ ! -s "$scratch/expected" ]; then
  echo "gs found no text in $page"
  exit 1
fi

"$skimpo" "$page" >"$scratch/actual"
status=$?
if [ "$status" != 0 ]; then
  echo "skimpo ended with status $status"
  exit 1
fi
if ! cmp -s "$scratch/expected" "$scratch/actual"; then
  echo "skimpo and gs disagree (gs < > skimpo):"
  diff "$scratch/expected" "$scratch/actual"
  exit 1
fi
