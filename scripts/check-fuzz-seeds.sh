#!/usr/bin/env bash
# check-fuzz-seeds.sh - the committed seed corpora hold exactly what
# scripts/make-fuzz-seeds.py makes: the generators run into a scratch
# directory and every file they write must equal its committed copy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
TOVRA_FUZZ_CORPUS=$scratch python3 "$root/scripts/make-fuzz-seeds.py" >/dev/null
count=0
status=0
while IFS= read -r -d '' file; do
  relative=${file#"$scratch"/}
  count=$((count + 1))
  if ! cmp -s "$file" "$root/fuzz/corpus/$relative"; then
    echo "fuzz/corpus/$relative differs from what make-fuzz-seeds.py makes" >&2
    status=1
  fi
done < <(find "$scratch" -type f -print0)
[ "$count" -gt 0 ] || { echo "the generators wrote nothing" >&2; exit 1; }
echo "$count generated seeds match"
exit $status
