#!/bin/sh
# check_keywords.sh - checks that the converter's manual page lists every option keyword of the
# converter's keyword table as an option, and lists no option that the table lacks; a keyword
# too long for the command line (its '/' included, more than 12 characters) must be said to work
# only in an option directive.
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
# Words of 12 characters or more: with their '/', longer than a command-line argument may be.
awk 'length($0) >= 12' "$scratch.table" | while read -r word; do
  LC_ALL=C awk -v word="/$word" '
    toupper($0) == ".B " word { near = 4 }
    near && /only in an option directive/ { found = 1 }
    near { near-- }
    END { exit !found }' "$page" ||
    fail "$page does not say that /$word works only in an option directive"
done
echo "kotobun.1: all $(wc -l <"$scratch.table") keywords"
