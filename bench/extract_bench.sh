#!/usr/bin/env bash
# extract_bench.sh BUILD_DIR - whole-archive extraction against the peers.
#
# Builds a tree of about 3000 real files (copied, with their times, from
# /usr/share and /usr/lib), archives it with `7z a -tzip -mx5`, and then
# extracts that archive into a fresh directory with each tool in turn:
# tovra (the tool of BUILD_DIR, keeping paths), `7z x` (its default threads),
# `7z x -mmt1` and `bsdtar -xf`. Each runs RUNS times (default 5) in rotation;
# the best wall time counts. The tovra output is compared with the tree once
# (diff -r), so a fast wrong answer cannot pass. Prints a table with each
# time and its ratio to tovra's (a ratio above 1 means tovra is faster).
#
# Environment: RUNS (runs per tool), FILES (files in the tree), BENCH_DIR
# (where the trees go; default /dev/shm), KEEP=1 keeps the directory.
set -euo pipefail

build=${1:?usage: extract_bench.sh BUILD_DIR}
tovra=$build/tools/tovra/tovra
runs=${RUNS:-5}
files=${FILES:-3000}
[ -x "$tovra" ] || { echo "no tovra tool in $build/tools/tovra" >&2; exit 1; }
for tool in 7z bsdtar; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

# The trees live in RAM (/dev/shm) when it is there: on a shared machine the
# disk's queue would otherwise decide the times more than the tools do.
# BENCH_DIR=/some/disk/dir measures on a disk instead.
default_dir=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && default_dir=/dev/shm
work=$(mktemp -d "${BENCH_DIR:-$default_dir}/tovra-extract-bench.XXXXXX")
cleanup() { [ "${KEEP:-0}" = 1 ] || { chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"; }; }
trap cleanup EXIT

# The tree: regular files below 4 MiB with ordinary names, in a fixed order so
# that every run of the benchmark measures the same tree.
tree=$work/tree
mkdir -p "$tree"
find /usr/share /usr/lib -xdev -type f -size -4096k -readable 2>/dev/null |
  LC_ALL=C grep -E '^[A-Za-z0-9/._+-]+$' | LC_ALL=C sort | awk -v n="$files" 'NR % 7 == 0 && c < n { print; c++ }' \
  >"$work/list"
(cd / && sed 's|^/||' "$work/list" | xargs -d '\n' cp --parents -p -t "$tree" 2>/dev/null) || true
count=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)

archive=$work/tree.zip
(cd "$tree" && 7z a -tzip -mx5 "$archive" . >/dev/null)
archiveBytes=$(stat -c %s "$archive")

now() { date +%s%N; }

# run NAME COMMAND...: one timed run into a fresh directory $work/out; the
# command sees the directory as $out. Prints nanoseconds.
run_once() {
  local out=$work/out
  chmod -R u+w "$out" 2>/dev/null || true
  rm -rf "$out"
  mkdir -p "$out"
  sync
  out=$out/
  local start end
  start=$(now)
  eval "$1" >/dev/null 2>&1 || { echo "failed: $1" >&2; exit 1; }
  end=$(now)
  echo $((end - start))
}

declare -A commands=(
  [tovra]='"$tovra" unzip -j -o "$archive" "$out"'
  ["7z x"]='7z x -y -o"$out" "$archive"'
  ["7z x -mmt1"]='7z x -y -mmt1 -o"$out" "$archive"'
  ["bsdtar -xf"]='bsdtar -xf "$archive" -C "$out"'
)
order=(tovra "7z x" "7z x -mmt1" "bsdtar -xf")
declare -A best

# Correctness first: tovra's output must equal the tree.
run_once "${commands[tovra]}" >/dev/null
diff -r "$tree" "$work/out" >/dev/null || { echo "tovra output differs from the tree" >&2; exit 1; }

for ((i = 0; i < runs; i++)); do
  for name in "${order[@]}"; do
    t=$(run_once "${commands[$name]}")
    if [ -z "${best[$name]:-}" ] || [ "$t" -lt "${best[$name]}" ]; then best[$name]=$t; fi
  done
done

printf 'tree: %d files, %d bytes; archive (7z -tzip -mx5): %d bytes; best of %d runs in %s\n' \
  "$count" "$bytes" "$archiveBytes" "$runs" "$(dirname "$work")"
printf '%-14s %10s %14s\n' tool "time ms" "time / tovra"
for name in "${order[@]}"; do
  awk -v n="$name" -v t="${best[$name]}" -v base="${best[tovra]}" \
    'BEGIN { printf "%-14s %10.1f %14.2f\n", n, t / 1e6, t / base }'
done
fastest_peer=$(printf '%s\n' "${best["7z x"]}" "${best["7z x -mmt1"]}" "${best["bsdtar -xf"]}" | sort -n | head -1)
awk -v p="$fastest_peer" -v t="${best[tovra]}" \
  'BEGIN { printf "tovra vs the fastest peer: %.2fx %s\n", p / t, (p / t >= 1.5 ? "(target 1.5x met)" : "(target 1.5x NOT met)") }'
