#!/bin/sh
# install_test.sh - installs the build into a scratch prefix and checks the tree: exactly the
# programs in bin/, every manual page in share/man/man1, and installed programs that run.
#
# Usage: install_test.sh BUILD PREFIX "PROGRAM ..." MAN_FOLDER "PAGE ..."
set -eu

build=$1
prefix=$2
programs=$3
man=$4
pages=$5

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 ||
  fail "cmake --install failed: $(cat "$prefix.log")"

expected=$(for program in $programs; do echo "$program"; done | sort | tr '\n' ' ')
found=$(for file in "$prefix"/bin/*; do basename "$file"; done | sort | tr '\n' ' ')
[ "$found" = "$expected" ] || fail "bin/ holds '$found', not '$expected'"
for program in $programs; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
for page in $pages; do
  [ -s "$prefix/share/man/man1/$page.1" ] || fail "share/man/man1/$page.1 is missing"
  cmp -s "$prefix/share/man/man1/$page.1" "$man/$page.1" ||
    fail "share/man/man1/$page.1 differs from man/$page.1"
done

# The installed programs run from anywhere: in an empty folder kotobun prints its banner and
# fails cleanly on a missing file, fonttables writes its catalogue, skimpo prints its usage, and
# kanjikit and kotobun2pdf answer --version and --help, and kotobun2pdf finds its kotobun.
run=$prefix.run
rm -rf "$run"
mkdir -p "$run"
cd "$run"
status=0
"$prefix/bin/kotobun" missing >kotobun.txt 2>&1 || status=$?
[ "$status" = 1 ] || fail "installed kotobun missing: status $status, not 1"
grep -q '^Japanese to \[La\]TeX Conversion Program\.$' kotobun.txt ||
  fail "installed kotobun printed no banner: $(cat kotobun.txt)"
grep -q 'File not found\.\.\.$' kotobun.txt || fail "installed kotobun: no 'File not found...'"
[ ! -e missing.tex ] || fail "installed kotobun left missing.tex behind"

"$prefix/bin/fonttables" >fonttables.txt || fail "installed fonttables failed"
[ "$(wc -c <fontable.kjx)" -eq 60842 ] || fail "installed fonttables wrote a short fontable.kjx"

"$prefix/bin/skimpo" >skimpo.txt || fail "installed skimpo without a file: not status 0"
grep -q 'skimpo FILE.PS' skimpo.txt || fail "installed skimpo printed no usage line"
for program in $programs; do
  case $program in
    kanjikit) "$prefix/bin/kanjikit" --version >kanjikit.txt || fail "installed kanjikit --version" ;;
    kotobun2pdf)
      "$prefix/bin/kotobun2pdf" --help >kotobun2pdf.txt || fail "installed kotobun2pdf --help"
      grep -q 'usage: kotobun2pdf NAME' kotobun2pdf.txt || fail "installed kotobun2pdf: no usage"
      # With no kotobun on the PATH it must take the one installed beside it; it then stops at a
      # later step (no TeX, no kit in the empty TEXMFHOME, or no missing.kjx).
      status=0
      (
        unset KOTOBUN
        PATH=/usr/bin:/bin TEXMFHOME="$run/texmf" "$prefix/bin/kotobun2pdf" missing
      ) >kotobun2pdf.txt 2>&1 || status=$?
      [ "$status" = 1 ] || fail "installed kotobun2pdf missing: status $status, not 1"
      if grep -q 'kotobun not found' kotobun2pdf.txt; then
        fail "installed kotobun2pdf does not find the kotobun beside it: $(cat kotobun2pdf.txt)"
      fi
      ;;
  esac
done
echo "installed into $prefix: $programs; pages: $pages"
