#!/usr/bin/env bash
# run-wine-e2e.sh TOVRA_EXE - end-to-end checks of the Windows build: archives
# made by Python's zipfile, 7z and bsdtar, hostile member names and Shift JIS
# names, each extracted by tovra.exe under Wine (wine_e2e.py does the work and
# prints one line per check and the summary "N passed, M failed").
#
# tovra.exe runs through scripts/wine-run.sh, so it gets the project's prefix
# (under the executable's folder) and the Japanese locale. The wineserver is
# kept up between the many short runs, and left to exit on its own a little
# after the last one: other tests may be using the same prefix, so it is not
# killed.
set -uo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 TOVRA_EXE" >&2
  exit 2
fi
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

for tool in python3 7z bsdtar wine wineserver; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "FAIL: $tool is not installed (scripts/install-deps.sh installs it)"
    echo "0 passed, 1 failed"
    exit 1
  fi
done

export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wineprefix}
export WINEDEBUG=-all
export WINEARCH=win64
# Seconds the wineserver stays up after the last Wine process has ended.
server_linger=15
if [ -f "$WINEPREFIX/system.reg" ]; then
  # Does nothing when a server of this prefix is already running.
  wineserver -p"$server_linger" </dev/null >/dev/null 2>&1 || true
else
  # wine-run.sh creates the prefix (once, under a lock).
  bash "$root/scripts/wine-run.sh" "$exe" --version >/dev/null 2>&1 || true
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tovra-wine-e2e.XXXXXX")
cleanup() {
  chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

python3 "$here/wine_e2e.py" --tool "$exe" --runner "$root/scripts/wine-run.sh" --data "$here" \
  --prefix "$WINEPREFIX" --work "$work"
