#!/bin/sh
# check_options.sh - checks that a program's manual page names every long option that the
# program's --help shows.
#
# Usage: check_options.sh PROGRAM PAGE.1
set -eu

program=$1
page=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

help=$("$program" --help) || fail "$program --help failed"
options=$(printf '%s\n' "$help" | grep -o -- '--[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "$program --help shows no option"
for option in $options; do
  # The page writes every hyphen of an option as \- .
  written=$(printf '%s' "$option" | sed 's/-/\\-/g')
  grep -qF -- "$written" "$page" || fail "$page does not name $option"
done
echo "$(basename "$page"): $(echo "$options" | tr '\n' ' ')"
