#!/usr/bin/env bash
# Runs a Windows test executable under Wine with the project's settings: a
# prefix of its own under the build tree (created once), no debug chatter, no
# runtime installers, and a Japanese locale so that the ANSI code page is 932.
set -euo pipefail
exe=$1; shift
build_dir=${TOVRA_WINE_BUILD_DIR:-$(cd "$(dirname "$exe")" && pwd)}
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=d;mshtml=d"
export LC_ALL=ja_JP.UTF-8
export WINEARCH=win64
wine_bin=$(command -v wine64 || command -v wine)
mkdir -p "$WINEPREFIX"
# Creating a prefix takes a while, and tests start in parallel: one at a time
# creates it and starts its server.
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w || true
fi
# One server for the prefix, kept for two minutes after its last client: with
# the default few seconds, a test starting just as the server shuts down gets
# "wine client error ... recvmsg" and fails without running. When the server
# starts here, a first program starts Wine's background services with nothing
# attached, so they never hold a test's output open (ctest would wait for
# them for as long as the server lives). A server already running makes the
# call fail, which is fine.
if wineserver -p120 >/dev/null 2>&1 </dev/null; then
  "$wine_bin" cmd /c exit >/dev/null 2>&1 </dev/null || true
fi
flock -u 9
exec 9>&-
exec "$wine_bin" "$exe" "$@"
