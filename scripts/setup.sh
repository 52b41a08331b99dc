#!/usr/bin/env bash
# Installs what building, running and testing need on a Debian 12 machine.
# Idempotent: when everything is there it only checks and returns.
# Usage: scripts/setup.sh [run|test|screenshot]
set -euo pipefail

purpose=${1:-run}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

packages=(make cmake g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64
          fonts-wqy-microhei locales)
case "$purpose" in
  test)       packages+=(googletest xvfb) ;;
  screenshot) packages+=(xvfb x11-apps netpbm) ;;
  dist)       packages+=(zip unzip) ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page from the locale: zh_CN.UTF-8 gives 936, as on our users' systems.
# en_US.UTF-8 is there to check that the window reads the same on a Western system.
want_locales=(zh_CN.UTF-8 en_US.UTF-8)
regen=0
for l in "${want_locales[@]}"; do
  if ! locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
    $sudo sed -i "s/^# *\(${l} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${l} UTF-8" /etc/locale.gen || echo "${l} UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    regen=1
  fi
done
[ $regen -eq 0 ] || $sudo locale-gen >/dev/null
exit 0
