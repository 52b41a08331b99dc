#!/usr/bin/env bash
# Packs the 32-bit release build and a short read-me into a zip for users.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(KeepFresh VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
out=build/dist/KeepFresh-$version
rm -rf "$out" "$out.zip"
mkdir -p "$out"
cp build/mingw/KeepFresh.exe "$out/"
# Notepad on every Windows reads UTF-8 with a byte-order mark and CR LF lines.
{ printf '\xEF\xBB\xBF'; sed 's/$/\r/' dist/README.txt; } >"$out/README.txt"
(cd build/dist && zip -q -X -r "KeepFresh-$version.zip" "KeepFresh-$version")
echo "dist: $out.zip"
unzip -l "$out.zip"
