#!/usr/bin/env bash
# run_fuzzers_test.sh - scripts/run-fuzzers.sh against stand-in harnesses
# (shell scripts that print libFuzzer's closing line or fail): every case
# gives its exit status and the lines that must appear.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# harness DIR NAME EXIT: a stand-in that records its arguments and exits EXIT.
harness() {
  mkdir -p "$1/fuzz"
  cat >"$1/fuzz/$2_fuzzer" <<STUB
#!/bin/sh
echo "\$@" >"$1/$2.args"
echo "#1234	DONE   cov: 1 ft: 1 corp: 1/1b lim: 4 exec/s: 617 rss: 30Mb"
[ $3 -eq 0 ] || echo "==1== ERROR: libFuzzer: deadly signal"
exit $3
STUB
  chmod +x "$1/fuzz/$2_fuzzer"
}

failures=0
# check NAME WANT_STATUS OUTPUT PATTERN...
check() {
  local name=$1 want=$2 output=$3
  shift 3
  local pattern
  for pattern in "$@"; do
    grep -qE -- "$pattern" <<<"$output" || { echo "$name: no line matching '$pattern' in:"; echo "$output"; failures=$((failures + 1)); }
  done
  [ "$status" -eq "$want" ] || { echo "$name: exit status $status, expected $want"; failures=$((failures + 1)); }
}

harness "$work/ok" inflate 0
harness "$work/ok" explode 0
status=0; output=$(FUZZ_SECONDS=7 bash "$root/scripts/run-fuzzers.sh" -j 2 "$work/ok" 2>&1) || status=$?
check "all pass" 0 "$output" "^fuzz: inflate passed \(#1234 runs, 617 exec/s\)" "^fuzz: 2 passed, 0 failed"
grep -q -- "-max_total_time=7 -timeout=1" "$work/ok/inflate.args" || { echo "FUZZ_SECONDS or the unit limit not passed"; failures=$((failures + 1)); }

harness "$work/bad" inflate 0
harness "$work/bad" unshrink 1
status=0; output=$(bash "$root/scripts/run-fuzzers.sh" "$work/bad" 3 2>&1) || status=$?
check "one fails" 1 "$output" "^fuzz: unshrink FAILED" "deadly signal" "^fuzz: 1 passed, 1 failed"
grep -q -- "-max_total_time=3 " "$work/bad/unshrink.args" || { echo "the seconds argument not passed"; failures=$((failures + 1)); }

mkdir -p "$work/none/fuzz"
status=0; output=$(bash "$root/scripts/run-fuzzers.sh" "$work/none" 1 2>&1) || status=$?
check "no harness" 1 "$output" "^fuzz: 0 passed, 0 failed"

[ "$failures" -eq 0 ] && echo "run-fuzzers.sh: all cases pass"
exit $((failures > 0))
