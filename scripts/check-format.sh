#!/usr/bin/env bash
# Checks that every tracked C++ source follows the committed .clang-format.
# Prints the files that differ and exits non-zero when there are any.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src include tools tests fuzz bench -name '*.cpp' -o -name '*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/tovra-format.$$; then
  echo "format: these files differ from .clang-format (run clang-format -i on them):"
  grep -o '^[^:]*:' /tmp/tovra-format.$$ | sort -u | sed 's/:$//; s/^/  /'
  rm -f /tmp/tovra-format.$$
  exit 1
fi
rm -f /tmp/tovra-format.$$
echo "format: ${#files[@]} files follow .clang-format"
