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
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Creating a prefix takes a while; two tests starting at once must not race.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w || true
  fi
  flock -u 9
fi
# One server for the prefix, kept for two minutes after its last client: with
# the default few seconds, a test starting just as the server shuts down gets
# "wine client error ... recvmsg" and fails without running. A server already
# running makes this call fail, which is fine.
wineserver -p120 >/dev/null 2>&1 || true
wine_bin=$(command -v wine64 || command -v wine)
exec "$wine_bin" "$exe" "$@"
