#!/bin/sh
# check_keywords.sh - checks that the converter's manual page lists every option keyword of the
# converter's keyword table as an option, and lists no option that the table lacks.
#
# Usage: check_keywords.sh SETTINGS.H KOTOBUN.1
set -eu

settings=$1
page=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

scratch=${TMPDIR:-/tmp}/check_keywords.$$
trap 'rm -f "$scratch".*' EXIT

# The table's words, e.g. {"EXTRASPACE", Setting::Space, 1}.
grep -o '{"[^"]*", Setting::' "$settings" | sed 's/^{"//; s/",.*//' | sort -u >"$scratch.table"
[ "$(wc -l <"$scratch.table")" -ge 40 ] || fail "found too few keywords in $settings"

# The page's options: the tags of the option list (the line after each .TP) that begin with '/'.
sed -n '/^\.TP$/{n;p;}' "$page" | tr -s ' ",' '\n' | grep '^/' |
  sed 's|^/||' | tr '[:lower:]' '[:upper:]' | sort -u >"$scratch.page"

missing=$(comm -23 "$scratch.table" "$scratch.page" | tr '\n' ' ')
[ -z "$missing" ] || fail "$page lacks the keywords: $missing"
unknown=$(comm -13 "$scratch.table" "$scratch.page" | tr '\n' ' ')
[ -z "$unknown" ] || fail "$page lists options that are no keywords: $unknown"
echo "kotobun.1: all $(wc -l <"$scratch.table") keywords"
