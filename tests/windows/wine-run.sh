#!/usr/bin/env bash
# Runs a Windows program under Wine the way the tests need it: headless (no
# display, so a message box returns at once), quiet, in the prefix named by
# WINEPREFIX (made on first use), and bounded in time.
#   WINEPREFIX=DIR wine-run.sh PROGRAM.exe ARGUMENTS...
set -euo pipefail

: "${WINEPREFIX:?WINEPREFIX must name the prefix of this test}"
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko installer on first start: nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

# Prefixes are made once, under a lock, since tests may start together.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout "${TOLVANE_WINEBOOT_TIMEOUT:-300}" wine wineboot --init >/dev/null 2>&1
    timeout 60 wineserver -w || true
  fi
) 9>"$WINEPREFIX.lock"

exec timeout -k 10 "${TOLVANE_WINE_TIMEOUT:-300}" wine "$@"
