#!/usr/bin/env bash
# Photographs the three dialogs for the README: runs the screenshot cases of
# ui_tests (tests/ui/screenshot_test.cpp) under Wine with the Japanese locale
# on a virtual X screen, and saves each dialog as a PNG.
#
#     tests/ui/screenshots.sh build/windows/bin/ui_tests.exe docs
#
# Wine draws the window frames itself (no window manager runs on the virtual
# screen), so the rectangle the program reports is the whole dialog with its
# title bar.
set -euo pipefail
exe=$(realpath "$1")
out=$(realpath "${2:-docs}")
here=$(cd "$(dirname "$0")/../.." && pwd)

if [ -z "${TOVRA_SCREENSHOT_XVFB:-}" ]; then
  export TOVRA_SCREENSHOT_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$exe" "$out"
fi

export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/wineprefix-shots}
work=$(mktemp -d)
wine_pid=
cleanup() {
  if [ -n "$wine_pid" ]; then kill "$wine_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# Frames drawn by Wine rather than left to a window manager that is not there;
# their buttons are glyphs of Wine's Marlett (fonts-wine), copied into the
# prefix. The Japanese dialog font, which the prefix has no file for, is drawn
# with IPA's proportional Gothic: like it, its kana and Latin letters are
# narrower than the kanji, so the labels fit their fields as they should.
wine_reg() { bash "$here/scripts/wine-run.sh" reg add "$@" /f >/dev/null; }
wine_reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAPGothic
cp -f /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

mkdir -p "$out"
TOVRA_SCREENSHOT_DIR="Z:${work//\//\\}" bash "$here/scripts/wine-run.sh" "$exe" \
  --gtest_filter='ScreenshotTest.*' >"$work/log" 2>&1 &
wine_pid=$!

for name in progress overwrite password; do
  for _ in $(seq 600); do
    [ -f "$work/$name.rect" ] && break
    if ! kill -0 "$wine_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if [ ! -f "$work/$name.rect" ]; then
    echo "screenshots: the $name dialog never appeared" >&2
    cat "$work/log" >&2
    exit 1
  fi
  read -r x y w h <"$work/$name.rect"
  sleep 1  # the first paint of the controls
  import -window root -crop "${w}x${h}+${x}+${y}" +repage -strip "$out/$name.png"
  touch "$work/$name.done"
  echo "screenshots: $out/$name.png (${w}x${h})"
done

status=0
wait "$wine_pid" || status=$?
wine_pid=
if [ "$status" -ne 0 ]; then cat "$work/log" >&2; fi
exit "$status"
