#!/usr/bin/env bash
# Runs every libFuzzer binary of a fuzz build for a few seconds each, starting
# from its seed corpus (copied, so the committed corpus is never changed).
# A unit that takes more than a second is a failure like a crash: decoding
# and scanning must stay cheap per input byte whatever the input. Inputs that
# crash or time out are kept in <build>/fuzz-artifacts/<name>/.
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
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$artifacts"
  cp -r "$root/fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  if ! "$bin" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$artifacts/" "$work" >"$work.log" 2>&1; then
    echo "fuzz: $name FAILED (inputs kept in $artifacts)"; tail -40 "$work.log"; status=1
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
  rm -rf "$work" "$work.log"
done
echo "fuzz: $passed passed, $failed failed"
exit $status
