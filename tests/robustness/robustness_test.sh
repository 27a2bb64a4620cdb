#!/bin/sh
# robustness_test.sh - whole runs of kotobun and fonttables under failing writes, comment lines
# at their limit and very large inputs.
#
# Usage: sh robustness_test.sh CHECK SCRATCH
#   write-fails-kotobun     the .tex file cannot grow past a limit that lies in the header, the
#                           body, a directive's echo lines or the part written only at the close
#   write-fails-fonttables  the same for fontable.kjx: its head, its tables, its close, and then
#                           every limit short of the whole file
#   comment-limit           10000 comment lines of 254 bytes pass; one of 255 ends the run
#   random-bytes            200 MB of random bytes as EUC and as Shift-JIS (slow)
#   random-text             50 MB of random text, the same document in EUC and in Shift-JIS
#                           (slow)
#   long-line               a single line of 50 MB, as text and as a comment (slow)
#   odd-inputs              inputs that are no regular file (named pipes, with and without a
#                           writer) or the output file under another name (a hard link, a link)
#   memory-limit            runs under address-space limits from 2 MB to 32 MB
#   hardened                the release programs carry stack canaries, checked functions, RELRO
#                           and BIND_NOW (skipped without readelf and nm)
# Environment: KOTOBUN, FONTTABLES, SKIMPO, KANJIKIT, MAKE_TEST_INPUT, PEAK_MEMORY (programs).
#
# A write is made to fail with `ulimit -f` (512-byte blocks) and SIGXFSZ ignored, so that write()
# fails with EFBIG. The file then holds exactly the limit's bytes, which must be the start of the
# complete output and end in the region named; the run must end with status 1 and without its
# completion message, its transcript stopping at the phase in which the stream's buffer, passed
# on, reached the limit. Each region is long enough that the buffer reaches the limit within it
# (8 KB for fontable.kjx; 256 KiB for kotobun's .tex, which passes its 16 KB header on only during
# the conversion).
set -eu

check=$1
scratch=$2

# Peak resident memory a run may take, in KB, however large its input: a few times what the
# programs need (about 3 MB), far below what holding any of these inputs would take.
peakLimit=16384

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Prints the transcript REFERENCE up to and including the first occurrence of MARKER (awk
# escapes such as \n apply).
transcriptUntil() {
  LC_ALL=C awk -v marker="$1" 'BEGIN { RS = "\001" }
    { i = index($0, marker); if (i) printf "%s", substr($0, 1, i + length(marker) - 1) }' "$2"
}

# Runs PROGRAM [ARG...] in the current folder with files limited to BLOCKS blocks of 512 bytes;
# its transcript goes to transcript.txt, its status to $status.
runLimited() {
  blocks=$1
  shift
  status=0
  (
    ulimit -f "$blocks"
    trap '' XFSZ
    exec "$@"
  ) >transcript.txt || status=$?
}

# Checks the file a limited run left: exactly BLOCKS blocks, all of them the start of COMPLETE.
checkPartial() {
  size=$(wc -c <"$1")
  [ "$size" -eq $(($3 * 512)) ] || fail "$1 holds $size bytes, not the $3 blocks of the limit"
  head -c "$size" "$2" | cmp -s - "$1" || fail "$1 is not the start of the complete output"
}

# Names the region of the converter's output in which the partial file FILE ends, by the last
# whole line before the cut one.
converterRegion() {
  LC_ALL=C awk -v directives="$2" '
    $0 == "\r" { empty++ }
    /^%KOTOBUN \/1440/ { body = 1 }
    /^%KOTOBUN \/1 \/2/ { big++ }
    { before = last; last = $0 }
    END {
      if (!empty && index(before, "\\newfont{") == 1) print "header"
      else if (body && !big && index(before, "\\kk{")) print "body"
      else if (big && big < directives && index(before, "%File=") == 1) print "echo"
      else if (big == directives && index(before, "\\kk{")) print "tail"
      else print "elsewhere"
    }' "$1"
}

# Names the region of fontable.kjx in which the partial file FILE ends, by its last whole line.
fontTablesRegion() {
  LC_ALL=C awk '
    index($0, "\\begin{table}") == 1 { tables++ }
    { before = last; last = $0 }
    END {
      if (!tables) print "head"
      else if (tables < 61 && index(before, "&")) print "tables"
      else if (tables == 61 && index(before, "&")) print "last-table"
      else print "elsewhere"
    }' "$1"
}

# Prints the limits, in blocks, that fall in the middle of the header, of the body, of the echo
# lines and in the last block of the complete output FILE.
converterLimits() {
  LC_ALL=C awk '
    { at += length($0) + 1 }
    !headerEnd && $0 == "\r" { headerEnd = at }
    !bodyStart && /^%KOTOBUN \/1440/ { bodyStart = at }
    !echoStart && /^%KOTOBUN \/1 \/2/ { echoStart = at - length($0) - 1 }
    /^%File=/ { echoEnd = at }
    END {
      print int(headerEnd / 1024), int((bodyStart + echoStart) / 1024),
        int((echoStart + echoEnd) / 1024), int((at - 1) / 512)
    }' "$1"
}

# Succeeds if transcript.txt is REFERENCE cut after one of the MARKERS, separated by "|".
stopsAtOneOf() {
  rest=$1
  while [ -n "$rest" ]; do
    marker=${rest%%|*}
    case $rest in
      *"|"*) rest=${rest#*|} ;;
      *) rest= ;;
    esac
    transcriptUntil "$marker" "$2" >expected.txt
    cmp -s expected.txt transcript.txt && return 0
  done
  return 1
}

# Checks a run cut at BLOCKS blocks: status 1, the partial file ending in REGION (FOUND is where
# it does end), the transcript stopped at one of the phases in MARKERS, and no COMPLETION line.
checkCutRun() {
  label="limit of $1 blocks ($2)"
  [ "$status" -eq 1 ] || fail "$label: status $status, expected 1"
  [ "$3" = "$2" ] || fail "$label: the file ends in the $3, not the $2"
  stopsAtOneOf "$4" reference.txt ||
    fail "$label: the transcript does not stop at the phase that hit the limit"
  if grep -q "$5" transcript.txt; then
    fail "$label: completion reported"
  fi
  echo "ok: $label"
}

writeFailsKotobun() {
  # 1400 lines of prose, 140 directive lines of 82 options (82 echo lines each), 30 lines of
  # prose: a header of 16 KB (all 427 fonts), a body and echo lines of 800 KB each, and a tail
  # whose last 208 bytes are still in the buffer at the close, whether it holds 8 KB or 256 KB.
  "$MAKE_TEST_INPUT" layered 1400 140 30 inject.kjx
  "$KOTOBUN" inject >reference.txt || fail "the complete run ended with status $?"
  mv inject.tex complete.tex
  read -r header body echo last <<EOF
$(converterLimits complete.tex)
EOF
  # A buffer larger than the header passes it on only during the conversion pass.
  while read -r blocks region markers; do
    rm -f inject.tex
    runLimited "$blocks" "$KOTOBUN" inject
    checkPartial inject.tex complete.tex "$blocks"
    checkCutRun "$blocks" "$region" "$(converterRegion inject.tex 140)" "$markers" \
      "conversion completed"
  done <<EOF
$header header Writing LaTeX header\n|Converting Japanese file\n
$body body Converting Japanese file\n
$echo echo Converting Japanese file\n
$last tail Closing LaTeX file inject.tex
EOF
}

writeFailsFontTables() {
  [ -n "${FONTTABLES:-}" ] || {
    echo "skipped: fonttables is not built"
    exit 77
  }
  "$FONTTABLES" >reference.txt || fail "the complete run ended with status $?"
  mv fontable.kjx complete.kjx
  # fontable.kjx is 60842 bytes; stdio writes its last 955 bytes at the close.
  while read -r blocks region markers; do
    rm -f fontable.kjx
    runLimited "$blocks" "$FONTTABLES"
    checkPartial fontable.kjx complete.kjx "$blocks"
    checkCutRun "$blocks" "$region" "$(fontTablesRegion fontable.kjx)" "$markers" \
      "generation completed"
  done <<EOF
1 head Generating font tables\n
60 tables Generating font tables\n
118 last-table Closing Japanese file fontable.kjx
EOF
  # Every limit short of the whole file: wherever a block is passed on, the run fails.
  blocks=1
  while [ "$blocks" -lt 119 ]; do
    rm -f fontable.kjx
    runLimited "$blocks" "$FONTTABLES"
    [ "$status" -eq 1 ] || fail "limit of $blocks blocks: status $status, expected 1"
    checkPartial fontable.kjx complete.kjx "$blocks"
    stopsAtOneOf "Generating font tables\n|Closing Japanese file fontable.kjx" reference.txt ||
      fail "limit of $blocks blocks: the transcript does not stop while writing the file"
    blocks=$((blocks + 1))
  done
  echo "ok: every limit from 1 to 118 blocks"
}

commentLimit() {
  # A file without Japanese characters is its header followed by its own bytes.
  mkdir accepted over
  : >accepted/empty.kjx
  (cd accepted && "$KOTOBUN" empty >/dev/null) || fail "an empty file ended with status $?"
  "$MAKE_TEST_INPUT" comments 10000 254 accepted/comments.kjx
  (cd accepted && "$KOTOBUN" comments >transcript.txt) ||
    fail "10000 comment lines of 254 bytes: status $?, expected 0"
  grep -q "^Japanese to \[La\]TeX conversion completed\.\$" accepted/transcript.txt ||
    fail "10000 comment lines of 254 bytes: no completion message"
  cat accepted/empty.tex accepted/comments.kjx | cmp -s - accepted/comments.tex ||
    fail "10000 comment lines of 254 bytes: the lines did not pass through unchanged"
  echo "ok: 10000 comment lines of 254 bytes"

  # One line of 255 bytes in the middle of 10000 of 254: the scan stops at its 255th byte.
  "$MAKE_TEST_INPUT" comments 5000 254 half.kjx
  "$MAKE_TEST_INPUT" comments 1 255 long.kjx
  cat half.kjx long.kjx half.kjx >over/comments.kjx
  status=0
  (cd over && "$KOTOBUN" comments >transcript.txt) || status=$?
  [ "$status" -eq 1 ] || fail "a comment line of 255 bytes: status $status, expected 1"
  {
    transcriptUntil "Scanning Japanese file for fonts\n" accepted/transcript.txt
    printf '.\n\007Comment too long: '
    head -c 254 long.kjx
    printf '...\n'
  } >expected.txt
  cmp -s expected.txt over/transcript.txt ||
    fail "a comment line of 255 bytes: not the transcript that ends with Comment too long"
  [ ! -s over/comments.tex ] || fail "a comment line of 255 bytes: a header was written"
  echo "ok: a comment line of 255 bytes"
}

# Runs kotobun NAME [OPTION...] under peak_memory and checks the peak; sets $status.
runMeasured() {
  status=0
  peak=$("$PEAK_MEMORY" transcript.txt "$KOTOBUN" "$@") || status=$?
  [ -n "$peak" ] || fail "kotobun $*: no peak memory reported (status $status)"
  [ "$peak" -le "$peakLimit" ] || fail "kotobun $*: peak memory $peak KB, more than $peakLimit KB"
}

randomBytes() {
  "$MAKE_TEST_INPUT" random 1 200 random.kjx
  for encoding in EUC MSKanji; do
    runMeasured random "/$encoding"
    label="200 MB of random bytes as /$encoding"
    # Random bytes soon hold a bad pair, a stray form feed or Ctrl-Z, or an overlong comment.
    if grep -q "Comment too long: " transcript.txt; then
      [ "$status" -eq 1 ] || fail "$label: status $status after Comment too long"
      ! grep -q "conversion completed" transcript.txt || fail "$label: completion reported"
    else
      grep -q "^Japanese to \[La\]TeX conversion completed\.\$" transcript.txt ||
        fail "$label: neither completed nor ended with one of its messages"
      if LC_ALL=C grep -Eq \
        "$(printf '^\007')(Invalid (EUC|MS-kanji) character pair|Incomplete (EUC|MS-kanji) character pair|Bitmap [0-9]+ does not exist|Abnormal DOS end of line)\\.\\.\\.\$" \
        transcript.txt; then
        [ "$status" -eq 1 ] || fail "$label: status $status after an input error"
      else
        [ "$status" -eq 0 ] || fail "$label: status $status without a message"
      fi
    fi
    echo "ok: $label: status $status, peak $peak KB"
  done
  rm -f random.kjx random.tex
}

# The documents go to named pipes and are compared by their checksums, so that no 250 MB file
# is written.
randomText() {
  for pair in EUC:euc MSKanji:sjis; do
    encoding=${pair%%:*}
    "$MAKE_TEST_INPUT" text 1 50 "${pair#*:}" "$encoding.kjx"
    mkfifo "$encoding.tex"
    cksum <"$encoding.tex" >"$encoding.sum" &
    reader=$!
    runMeasured "$encoding" "/$encoding"
    label="50 MB of random text as /$encoding"
    if [ "$status" -ne 0 ]; then
      kill "$reader" 2>/dev/null || true
      fail "$label: status $status, expected 0"
    fi
    wait "$reader" || fail "$label: the document could not be read back"
    grep -q "^Japanese to \[La\]TeX conversion completed\.\$" transcript.txt ||
      fail "$label: no completion message"
    if LC_ALL=C grep -q "$(printf '\007')" transcript.txt; then
      fail "$label: a message about the input"
    fi
    echo "ok: $label: peak $peak KB"
    rm -f "$encoding.kjx"
  done
  cmp -s EUC.sum MSKanji.sum ||
    fail "the same random text converts to different documents from EUC and from Shift-JIS"
  echo "ok: the same document from either encoding"
}

longLine() {
  "$MAKE_TEST_INPUT" line 50 line.kjx
  runMeasured line
  [ "$status" -eq 0 ] || fail "a line of 50 MB: status $status, expected 0"
  grep -q "^Japanese to \[La\]TeX conversion completed\.\$" transcript.txt ||
    fail "a line of 50 MB: no completion message"
  # The line ends in "...: ok " and its line end: the conversion went through to the end.
  [ "$(tail -c 13 line.tex | od -An -c | tr -d ' \n')" = '{7}\eeeok\r\n' ] ||
    fail "a line of 50 MB: the output does not end with the line's last text"
  echo "ok: a line of 50 MB: peak $peak KB"
  rm -f line.kjx line.tex

  "$MAKE_TEST_INPUT" comments 1 50000000 comment.kjx
  runMeasured comment
  [ "$status" -eq 1 ] || fail "a comment line of 50 MB: status $status, expected 1"
  grep -q "Comment too long: " transcript.txt || fail "a comment line of 50 MB: no message"
  echo "ok: a comment line of 50 MB: peak $peak KB"
  rm -f comment.kjx comment.tex
}

# Each run must stop before it creates text.tex, with its message as the last line, and leave
# every file as it was: a pipe would give its text to the scan alone (and without a writer, hold
# the open), and creating text.tex would empty a text that is the same file.
oddInputs() {
  printf 'abc \244\242\r\n' >text.txt
  bel=$(printf '\007')
  while IFS='|' read -r what before message; do
    rm -rf case
    mkdir case
    case $what in
      pipe | pipe-with-writer)
        mkfifo case/text.kjx
        printf 'An old document.\r\n' >case/text.tex
        ;;
      hard-link)
        cp text.txt case/text.kjx
        ln case/text.kjx case/text.tex
        ;;
      kjx-link)
        cp text.txt case/text.tex
        ln -s text.tex case/text.kjx
        ;;
    esac
    writer=
    if [ "$what" = pipe-with-writer ]; then
      cat text.txt >case/text.kjx &
      writer=$!
    fi
    cksum case/text.tex >files.txt
    status=0
    (cd case && timeout 30 "$KOTOBUN" text >../transcript.txt) || status=$?
    [ -z "$writer" ] || kill "$writer" 2>/dev/null || true
    [ "$status" -eq 1 ] || fail "$what: status $status, expected 1"
    printf '%s\n%s\n' "$before" "$message" >expected.txt
    tail -n 2 transcript.txt | cmp -s expected.txt - ||
      fail "$what: the transcript does not end with: $message"
    cksum case/text.tex | cmp -s files.txt - || fail "$what: text.tex was changed"
    [ -p case/text.kjx ] || cmp -s text.txt case/text.kjx || fail "$what: the text was changed"
    echo "ok: $what"
  done <<EOF
pipe|Opening Japanese file text.kjx.|${bel}Japanese file text.kjx is not a regular file...
pipe-with-writer|Opening Japanese file text.kjx.|${bel}Japanese file text.kjx is not a regular file...
hard-link|Creating LaTeX file text.tex.|${bel}Japanese file text.kjx and TeX file text.tex are the same file...
kjx-link|Creating LaTeX file text.tex.|${bel}Japanese file text.kjx and TeX file text.tex are the same file...
EOF
}

# Under every limit of address space from 2 MB to 32 MB, in steps of 512 KB, a run either writes
# the whole document or ends with status 1 and its own message; it is never killed by an
# exception, nor does it say "File not found..." of an input it has no memory to read. Under the
# smallest limits the loader cannot map the C++ library and kotobun never starts (status 127).
memoryLimit() {
  # shellcheck disable=SC3045 # dash, bash and busybox sh all have ulimit -v
  (ulimit -v 65536) 2>/dev/null || {
    echo "skipped: this shell has no ulimit -v"
    exit 77
  }
  printf 'abc \244\242\r\n' >text.kjx
  "$KOTOBUN" text >/dev/null || fail "the run without a limit ended with status $?"
  mv text.tex complete.tex
  printf '\007Not enough memory...\n' >expected.txt
  short=0
  limit=2048
  while [ "$limit" -le 32768 ]; do
    rm -f text.tex
    status=0
    (
      # shellcheck disable=SC3045
      ulimit -v "$limit"
      exec "$KOTOBUN" text
    ) >transcript.txt 2>errors.txt || status=$?
    label="a limit of $limit KB"
    case $status in
      0)
        cmp -s complete.tex text.tex || fail "$label: status 0, but not the whole document"
        ;;
      1)
        tail -n 1 transcript.txt | cmp -s expected.txt - ||
          fail "$label: status 1 without Not enough memory: $(tail -n 1 transcript.txt)"
        short=$((short + 1))
        ;;
      127)
        [ ! -s transcript.txt ] || fail "$label: status 127 after kotobun started"
        ;;
      *) fail "$label: status $status: $(head -c 200 errors.txt)" ;;
    esac
    [ "$status" -eq 127 ] || [ ! -s errors.txt ] ||
      fail "$label: a message on standard error: $(head -c 200 errors.txt)"
    limit=$((limit + 512))
  done
  [ "$short" -gt 0 ] || fail "no limit left kotobun started but short of memory"
  echo "ok: $short limits ended with Not enough memory"
}

# Each program: relocations read-only and bound at start, canaries, and fortified stdio calls.
hardened() {
  for tool in readelf nm; do
    command -v "$tool" >/dev/null || {
      echo "skipped: $tool is not installed (apt-get install binutils)"
      exit 77
    }
  done
  for program in "$KOTOBUN" ${FONTTABLES:+"$FONTTABLES"} ${SKIMPO:+"$SKIMPO"} \
    ${KANJIKIT:+"$KANJIKIT"}; do
    name=$(basename "$program")
    readelf -lW "$program" | grep -q GNU_RELRO || fail "$name: no RELRO segment"
    readelf -d "$program" | grep -q 'FLAGS.*BIND_NOW' || fail "$name: not linked with -z now"
    symbols=$(nm -D "$program")
    for symbol in __stack_chk_fail __fprintf_chk; do
      echo "$symbols" | grep -q " $symbol@" || fail "$name: no $symbol"
    done
    echo "ok: $name"
  done
}

rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
case $check in
  write-fails-kotobun) writeFailsKotobun ;;
  write-fails-fonttables) writeFailsFontTables ;;
  comment-limit) commentLimit ;;
  random-bytes) randomBytes ;;
  random-text) randomText ;;
  long-line) longLine ;;
  odd-inputs) oddInputs ;;
  memory-limit) memoryLimit ;;
  hardened) hardened ;;
  *) fail "unknown check: $check" ;;
esac
