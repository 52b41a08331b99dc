#!/usr/bin/env bash
# Starts KeepFresh under Wine on a private Xvfb display and saves a picture
# of its window as docs/window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
# A prefix of its own, so that a picture never disturbs a test run.
KEEPFRESH_WINEPREFIX=${KEEPFRESH_WINEPREFIX:-$PWD/build/wineprefix-screenshot}
source scripts/wine-env.sh
exe=build/mingw/KeepFresh.exe
if [ "$KEEPFRESH_ARCH" != i686 ]; then
  cmake --preset release-x64 >/dev/null
  cmake --build --preset release-x64 >/dev/null
  exe=build/mingw-x86_64/KeepFresh.exe
fi
keepfresh_wine_prefix

display=:$((500 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { "$WINESERVER" -k 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

LANG=$KEEPFRESH_LANG "$WINE" "$exe" >/dev/null 2>&1 &
sleep "${KEEPFRESH_SCREENSHOT_WAIT:-8}"
mkdir -p docs
# The window is centred on the 1024x768 screen; take it with its frame.
left=$(((1024 - 503) / 2)); top=$(((768 - 337) / 2))
xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left $left -top $top -width 503 -height 337 | pnmtopng >docs/window.png
echo "screenshot: docs/window.png"
