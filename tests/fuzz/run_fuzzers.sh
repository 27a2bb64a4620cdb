#!/bin/sh
# run_fuzzers.sh BUILD SECONDS NAME... - runs each named fuzzer built in BUILD for SECONDS from a
# copy of its committed corpus and prints libFuzzer's final counts; exits 1 if one finds a crash, a leak or
# a broken invariant, naming the input it saved.
set -eu
build=$1
seconds=$2
shift 2
corpora=$(dirname "$0")/corpus
status=0
for name in "$@"; do
  case $name in
    skimpo_fuzz) maxlen=32768 ;;  # strings and words past the 9999 bytes that the buffers keep
    text_file_fuzz) maxlen=8192 ;;  # the padding, not the length, reaches the buffer ends
    *) maxlen=4096 ;;
  esac
  work=$build/fuzz-runs/$name
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp "$corpora/$name/"* "$work/corpus/"
  if "$build/tests/fuzz/$name" "$work/corpus" -max_total_time="$seconds" -max_len="$maxlen" \
      -timeout=10 -print_final_stats=1 -artifact_prefix="$work/artifacts/" >"$work/log" 2>&1; then
    counts=$(grep 'DONE' "$work/log" | sed 's/^#\([0-9]*\).*cov: \([0-9]*\) ft: \([0-9]*\).*/\1 runs, cov \2, ft \3/')
    echo "$name: $seconds s, $counts"
  else
    tail -n 40 "$work/log" >&2
    echo "$name: failed; the input is in $work/artifacts/" >&2
    status=1
  fi
done
exit "$status"
