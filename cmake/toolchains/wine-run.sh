#!/bin/sh
# Runs a Windows program under wine, quietly and without a display, in the prefix named by
# WINEPREFIX. The first run creates the prefix; concurrent first runs wait for it.
set -e
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix to use}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  flock "$WINEPREFIX.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1'
fi
exec wine "$@"
