#!/usr/bin/env bash
# Builds the suite and runs it under Wine on a private Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

preset=test
if [ "$KEEPFRESH_ARCH" = x86_64 ]; then
  preset=test-x64
  echo "test: this machine's Wine cannot run 32-bit programs; testing the 64-bit build of the same sources"
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"

keepfresh_wine_prefix
# One wineserver for the whole run, so each test program starts at once.
"$WINESERVER" -p || true  # one may be running already
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; "$WINESERVER" -k 2>/dev/null || true; }
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
# Start Wine's own services now, away from CTest's output pipes: a service
# that inherited them would keep CTest waiting after the test had ended.
LANG=$KEEPFRESH_LANG "$WINE" wineboot >/dev/null 2>&1 </dev/null

ctest --preset "$preset" "$@"
