#!/usr/bin/env bash
# run-cases.sh TOOL SAMPLE CASES - runs the tovra tool's command-line cases
# (cases.txt: exit status | expected output text | arguments) and reports
# every case whose exit status or output differs. Standard input is not a
# terminal, so the tool's questions get the default answers.
set -uo pipefail
tool=$1 sample=$2 cases=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0 count=0
while IFS= read -r line; do
  case "$line" in '#'* | '') continue ;; esac
  IFS='|' read -r status expected arguments <<<"$line"
  status=$(echo $status)
  expected=$(echo "$expected" | sed 's/^ *//; s/ *$//')
  arguments=${arguments//@SAMPLE@/$sample}
  arguments=${arguments//@WORK@/$work}
  count=$((count + 1))
  # shellcheck disable=SC2086 # the arguments are meant to split at spaces
  output=$("$tool" $arguments </dev/null 2>/dev/null)
  actual=$?
  if [ "$actual" != "$status" ]; then
    echo "FAIL: tovra$arguments: exit $actual, expected $status" >&2
    failures=$((failures + 1))
  elif [ -n "$expected" ] && [[ "$output" != *"$expected"* ]]; then
    echo "FAIL: tovra$arguments: output lacks '$expected':" >&2
    printf '%s\n' "$output" >&2
    failures=$((failures + 1))
  fi
done <"$cases"

# Extraction must have produced the example's files (paths dropped without -j).
for name in readme.txt lorem.txt table.csv; do
  if [ ! -f "$work/out/$name" ]; then
    echo "FAIL: $name was not extracted into $work/out" >&2
    failures=$((failures + 1))
  fi
done
# extract-all: the directory was created, paths kept with --paths, dropped without.
for name in all/tree/readme.txt all/tree/docs/lorem.txt all/tree/data/table.csv flat/lorem.txt; do
  if [ ! -f "$work/$name" ]; then
    echo "FAIL: extract-all did not produce $work/$name" >&2
    failures=$((failures + 1))
  fi
done
# cat hands over the member's bytes unchanged.
if ! cmp -s <("$tool" cat "$sample" data/table.csv) "$work/all/tree/data/table.csv"; then
  echo "FAIL: cat data/table.csv differs from the extracted file" >&2
  failures=$((failures + 1))
fi
echo "run-cases: $count cases, $failures failures"
[ "$failures" -eq 0 ]
