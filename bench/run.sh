#!/usr/bin/env bash
# Runs every benchmark of a bench build: the codec benchmarks (bench/*_bench.cpp,
# built as executables) and the whole-archive benchmark scripts (bench/*_bench.sh).
# Each prints its own table of ratios against peers measured in the same run.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
for bin in "$build"/bench/*_bench; do
  [ -x "$bin" ] || continue
  echo "== $(basename "$bin")"
  "$bin"
done
for script in "$root"/bench/*_bench.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$script")"
  bash "$script" "$build"
done
