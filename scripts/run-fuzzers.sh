#!/usr/bin/env bash
# Runs every libFuzzer binary of a fuzz build for a few seconds each, starting
# from its seed corpus (copied, so the committed corpus is never changed).
set -euo pipefail
build=$1
seconds=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
passed=0
failed=0
for bin in "$build"/fuzz/*_fuzzer; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin" _fuzzer)
  work=$(mktemp -d)
  cp -r "$root/fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  if ! "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 "$work" >"$work.log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -40 "$work.log"; status=1
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzz: $passed passed, $failed failed"
exit $status
