#!/usr/bin/env bash
# run-fuzzers.sh [-j JOBS] BUILD_DIR [SECONDS] - runs every libFuzzer binary of
# a fuzz build for SECONDS each (default: $FUZZ_SECONDS, else 30), starting
# from its seed corpus (copied, so the committed corpus is never changed),
# JOBS harnesses at a time (default 2, one per core of a small CI machine).
# A unit that takes more than a second is a failure like a crash: decoding
# and scanning must stay cheap per input byte whatever the input. Inputs that
# crash or time out are kept in <build>/fuzz-artifacts/<name>/. Each harness
# reports its executions; the script fails when any harness failed.
set -euo pipefail
jobs=2
if [ "${1:-}" = "-j" ]; then
  jobs=$2
  shift 2
fi
build=${1:?usage: run-fuzzers.sh [-j JOBS] BUILD_DIR [SECONDS]}
seconds=${2:-${FUZZ_SECONDS:-30}}
root=$(cd "$(dirname "$0")/.." && pwd)
results=$(mktemp -d)
# The archive harnesses write scratch archives and extract members: in RAM
# (/dev/shm) a busy disk cannot push a unit over the one-second limit.
scratch=
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  scratch=$(mktemp -d /dev/shm/tovra-fuzz.XXXXXX)
  export TMPDIR=$scratch
fi
trap 'rm -rf "$results" ${scratch:+"$scratch"}' EXIT

# run_one NAME BINARY: one harness; writes "ok"/"failed" and its log's last
# status line to $results/NAME.
run_one() {
  local name=$1 bin=$2
  local work artifacts
  work=$(mktemp -d)
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$artifacts"
  cp -r "$root/fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  if "$bin" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$artifacts/" "$work" >"$work.log" 2>&1; then
    echo "ok $(grep -E '^#[0-9]+' "$work.log" | tail -1 | awk '{ for (i = 1; i < NF; i++) if ($i == "exec/s:") rate = $(i + 1); print $1, "runs,", rate, "exec/s" }')" >"$results/$name"
  else
    { echo "failed"; tail -40 "$work.log"; } >"$results/$name"
  fi
  rm -rf "$work" "$work.log"
}

running=0
for bin in "$build"/fuzz/*_fuzzer; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin" _fuzzer)
  echo "fuzz: $name for ${seconds}s"
  run_one "$name" "$bin" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait

passed=0
failed=0
for file in "$results"/*; do
  [ -f "$file" ] || continue
  name=$(basename "$file")
  if [ "$(head -c 2 "$file")" = "ok" ]; then
    echo "fuzz: $name passed ($(cut -c4- "$file" | head -1))"
    passed=$((passed + 1))
  else
    echo "fuzz: $name FAILED (inputs kept in $build/fuzz-artifacts/$name)"
    tail -n +2 "$file"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
