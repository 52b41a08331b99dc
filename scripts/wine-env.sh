# Sourced by the project's scripts: picks the Wine loader and the private
# prefix for one target architecture and exports what Wine needs.
#   KEEPFRESH_ARCH  i686 or x86_64 (default: what this machine's Wine can run)
# Exports WINE, WINEARCH, WINELOADER, WINESERVER, WINEPREFIX, KEEPFRESH_ARCH and
# KEEPFRESH_LANG (the locale Wine runs under).

keepfresh_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# A 32-bit Wine needs a kernel that runs 32-bit Linux programs; some virtual
# machines have none. The answer is remembered in build/.
keepfresh_wine_can_run_32bit() {
  local mark="$keepfresh_root/build/.wine32"
  if [ ! -f "$mark" ]; then
    mkdir -p "$keepfresh_root/build"
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo yes >"$mark"; else echo no >"$mark"; fi
  fi
  [ "$(cat "$mark")" = yes ]
}

if [ -z "${KEEPFRESH_ARCH:-}" ]; then
  if keepfresh_wine_can_run_32bit; then KEEPFRESH_ARCH=i686; else KEEPFRESH_ARCH=x86_64; fi
fi
if [ "$KEEPFRESH_ARCH" = i686 ]; then
  WINE=/usr/lib/wine/wine
  WINEARCH=win32
else
  WINE=/usr/lib/wine/wine64
  WINEARCH=win64
fi
WINELOADER=$WINE
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/bin/wineserver
WINEPREFIX=${KEEPFRESH_WINEPREFIX:-$keepfresh_root/build/wineprefix-$KEEPFRESH_ARCH}
# The ANSI code page follows the locale: 936, as on our users' systems.
# Only Wine gets it; the build's own messages stay in the caller's language.
KEEPFRESH_LANG=${KEEPFRESH_LANG:-zh_CN.UTF-8}
export KEEPFRESH_ARCH WINE WINEARCH WINELOADER WINESERVER WINEPREFIX KEEPFRESH_LANG
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe,mscoree,mshtml=d"

# Creates the prefix once; later runs reuse it.
keepfresh_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.keepfresh" ]; then
    echo "wine: creating prefix $WINEPREFIX (once)"
    mkdir -p "$WINEPREFIX"
    LANG=$KEEPFRESH_LANG "$WINE" wineboot -i >/dev/null 2>&1 || true
    # Wine draws the window frames itself: Xvfb has no window manager, and
    # without one Wine waits two seconds for every window it hides.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # Let the set-up's server go, so that the caller may start a persistent one.
    timeout 60 "$WINESERVER" -w || true
    touch "$WINEPREFIX/.keepfresh"
  fi
}
