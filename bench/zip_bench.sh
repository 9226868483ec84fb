#!/usr/bin/env bash
# zip_bench.sh BUILD_DIR - whole-archive archiving against the peers.
#
# Builds a tree of about 3000 real files (copied from /usr/share/doc and
# /usr/include) in RAM and archives it with each tool in turn, single-threaded:
# tovra zip -r at level 6, `7z a -tzip -mx5 -mmt1`, `bsdtar --format zip -cf`
# and Python's zipfile at level 6. Each runs RUNS times (default 3) in
# rotation; the best wall time counts. Then one file of the tree is changed
# and tovra's update of its archive is timed against its create. Last, the
# peak resident size of tovra archiving a 1 GiB file (/usr/bin/time -v).
# tovra's archive is tested with 7z t once, so a fast wrong answer cannot pass.
#
# The temporary archive goes to TMPDIR; the bench points it at its own
# directory (BENCH_TMPDIR overrides), so the finished archive is renamed into
# place as on a system whose temporary directory shares the archive's volume
# rather than copied across file systems. With CALLGRIND=1 the instruction
# counts of create and update are compared as well (repeatable under load).
#
# Environment: RUNS, FILES, BENCH_DIR (default /dev/shm), KEEP=1, BIG_MIB
# (size of the big file, default 1024), BENCH_TMPDIR, CALLGRIND=1.
set -euo pipefail

build=${1:?usage: zip_bench.sh BUILD_DIR}
tovra=$(cd "$(dirname "$build/tools/tovra/tovra")" && pwd)/tovra
runs=${RUNS:-3}
files=${FILES:-3000}
big_mib=${BIG_MIB:-1024}
[ -x "$tovra" ] || { echo "no tovra tool in $build/tools/tovra" >&2; exit 1; }
default_dir=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && default_dir=/dev/shm
work=$(mktemp -d "${BENCH_DIR:-$default_dir}/tovra-zip-bench.XXXXXX")
cleanup() { [ "${KEEP:-0}" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT

export TMPDIR=${BENCH_TMPDIR:-$work}
tree=$work/tree
mkdir -p "$tree"
find /usr/share/doc /usr/include -xdev -type f -size -4096k -readable 2>/dev/null |
  LC_ALL=C grep -E '^[A-Za-z0-9/._+-]+$' | LC_ALL=C sort | awk -v n="$files" 'NR <= n' |
  while read -r f; do mkdir -p "$tree$(dirname "$f")" && cp -p "$f" "$tree$f"; done
count=$(find "$tree" -type f | wc -l)
bytes=$(du -sb "$tree" | cut -f1)

now() { date +%s.%N; }
best() { # best NAME COMMAND... : the best wall time of RUNS runs, in seconds
  local name=$1 best_time=""
  shift
  for _ in $(seq "$runs"); do
    rm -f "$work/out.zip"
    local start end
    start=$(now)
    (cd "$tree" && "$@" >/dev/null 2>&1)
    end=$(now)
    local t
    t=$(echo "$end - $start" | bc)
    if [ -z "$best_time" ] || [ "$(echo "$t < $best_time" | bc)" = 1 ]; then best_time=$t; fi
  done
  echo "$best_time"
}

uptime
echo "tree: $count files, $bytes bytes; temporary archives in $TMPDIR"
t_tovra=$(best tovra "$tovra" zip -r -q "$work/out.zip" .)
7z t "$work/out.zip" >/dev/null || { echo "tovra's archive fails 7z t" >&2; exit 1; }
size_tovra=$(stat -c %s "$work/out.zip")
t_7z=$(best 7z 7z a -tzip -mx5 -mmt1 "$work/out.zip" .)
t_bsdtar=$(best bsdtar bsdtar --format zip -cf "$work/out.zip" .)
t_python=$(best python python3 -c "
import os, zipfile
with zipfile.ZipFile('$work/out.zip', 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for root, dirs, names in os.walk('.'):
        for n in sorted(names): z.write(os.path.join(root, n))")
fastest=$(printf '%s\n' "$t_7z" "$t_bsdtar" "$t_python" | sort -g | head -1)
printf '%-22s %10s %8s\n' tool seconds ratio
printf '%-22s %10.3f %8s\n' "tovra zip -r (6)" "$t_tovra" "1.00"
for row in "7z-mx5-mmt1:$t_7z" "bsdtar:$t_bsdtar" "python-zipfile-6:$t_python"; do
  printf '%-22s %10.3f %8.2f\n' "${row%%:*}" "${row#*:}" "$(echo "${row#*:} / $t_tovra" | bc -l)"
done
echo "create vs fastest peer: $(echo "$fastest / $t_tovra" | bc -l | cut -c1-5)x (above 1: tovra faster); tovra archive $size_tovra bytes"

# Update after one file changed: unchanged members are copied, not recompressed.
(cd "$tree" && "$tovra" zip -r -q "$work/base.zip" . >/dev/null 2>&1)
changed=$(find "$tree" -type f | LC_ALL=C sort | awk "NR == 1")
t_update=""
for _ in $(seq "$runs"); do
  cp "$work/base.zip" "$work/upd.zip"
  echo "changed $(date +%s%N)" >>"$changed"
  touch -d "+10 seconds" "$changed"
  start=$(now)
  (cd "$tree" && "$tovra" zip -u -r -q "$work/upd.zip" . >/dev/null 2>&1)
  end=$(now)
  t=$(echo "$end - $start" | bc)
  if [ -z "$t_update" ] || [ "$(echo "$t < $t_update" | bc)" = 1 ]; then t_update=$t; fi
done
7z t "$work/upd.zip" >/dev/null || { echo "updated archive fails 7z t" >&2; exit 1; }
echo "update after one change: ${t_update}s, create/update = $(echo "$t_tovra / $t_update" | bc -l | cut -c1-6)x"

if [ "${CALLGRIND:-0}" = 1 ] && command -v valgrind >/dev/null; then
  instructions() { # instructions COMMAND...: instructions the command ran, from callgrind
    (cd "$tree" && valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null) |
      awk '/refs:/ { gsub(",", "", $NF); print $NF }'
  }
  rm -f "$work/cg.zip"
  i_create=$(instructions "$tovra" zip -r -q "$work/cg.zip" .)
  cp "$work/base.zip" "$work/upd.zip"
  echo "changed $(date +%s%N)" >>"$changed"
  touch -d "+10 seconds" "$changed"
  i_update=$(instructions "$tovra" zip -u -r -q "$work/upd.zip" .)
  echo "instructions: create $i_create, update $i_update, create/update = $(echo "$i_create / $i_update" | bc -l | cut -c1-6)x"
fi

# Peak memory while archiving one big file.
head -c "$((big_mib * 1048576))" /dev/urandom >"$work/big.bin"
rss=$(cd "$work" && /usr/bin/time -v "$tovra" zip -1 -q big.zip big.bin 2>&1 >/dev/null | awk -F: '/Maximum resident/ { print $2 }')
echo "peak resident size archiving ${big_mib} MiB: $((rss / 1024)) MiB"
