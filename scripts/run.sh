#!/usr/bin/env bash
# Starts KeepFresh under Wine with the code page of a Chinese system (936).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
exe=build/mingw/KeepFresh.exe
if [ "$KEEPFRESH_ARCH" != i686 ]; then
  # This machine's Wine cannot run 32-bit programs: run a 64-bit build of the same sources.
  echo "run: this machine's Wine cannot run 32-bit programs; starting the 64-bit build"
  cmake --preset release-x64 >/dev/null
  cmake --build --preset release-x64 >/dev/null
  exe=build/mingw-x86_64/KeepFresh.exe
fi
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no DISPLAY; start an X server (or use 'make screenshot' for a picture)" >&2
  exit 1
fi
keepfresh_wine_prefix
LANG=$KEEPFRESH_LANG exec "$WINE" "$exe"
