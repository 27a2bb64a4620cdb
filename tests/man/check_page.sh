#!/bin/sh
# check_page.sh - checks one manual page: groff formats it without a warning (mandoc too, when it
# is installed), it has every section a reader looks for, and its title is its file name.
#
# Usage: check_page.sh PAGE.1
# Without groff the check exits 77 (skipped), unless REQUIRE_TYPESETTING=1 makes that a failure.
set -eu

page=$1
name=$(basename "$page" .1)

fail() {
  echo "FAIL: $name.1: $*" >&2
  exit 1
}

if ! command -v groff >/dev/null 2>&1; then
  [ "${REQUIRE_TYPESETTING:-0}" != 1 ] || fail "groff is not installed, and REQUIRE_TYPESETTING=1"
  echo "skipped: groff is not installed (apt-get install groff-base)"
  exit 77
fi
[ -f "$page" ] || fail "no such page: $page"

warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff failed: $warnings"
[ -z "$warnings" ] || fail "groff warns: $warnings"
if command -v mandoc >/dev/null 2>&1; then
  warnings=$(mandoc -T lint -W warning "$page" 2>&1) || fail "mandoc warns: $warnings"
fi

title=$(sed -n 's/^\.TH \([^ ]*\) 1 .*/\1/p' "$page")
upper=$(echo "$name" | tr '[:lower:]' '[:upper:]')
[ "$title" = "$upper" ] || fail "title '$title' is not '$upper'"

for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES "SEE ALSO"; do
  grep -qx "\.SH \"*$section\"*" "$page" || fail "no section $section"
done
grep -q "^$name \\\\- " "$page" || fail "the NAME line does not begin with '$name \\-'"
echo "$name.1: ok"
