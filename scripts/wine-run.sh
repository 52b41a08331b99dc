#!/usr/bin/env bash
# Runs one Windows program under the project's Wine: CTest's emulator.
source "$(dirname "$0")/wine-env.sh"
LANG=$KEEPFRESH_LANG exec "$WINE" "$@"
