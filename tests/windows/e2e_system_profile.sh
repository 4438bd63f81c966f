#!/usr/bin/env bash
# The system printer profile file of tolvane.exe under Wine: system.ini
# beside the program (or the file TOLVANE_SYSTEM_PROFILE names) answers
# first, for its printers and their sections; what it does not name comes
# from Windows.
#   e2e_system_profile.sh TOLVANE.EXE WORK-DIR
# WINEPREFIX names the Wine prefix to use.
set -euo pipefail

exe=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
run_wine() { "$here/wine-run.sh" "$@"; }

rm -rf "$work"
mkdir -p "$work"
cp "$exe" "$work/tolvane.exe"
printf 'A\n' >"$work/report.txt"
export TOLVANE_LOG=off

# Windows knows one printer of its own, WinTrace.
run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
  /v WinTrace /d 'TRACE,windows.trace' /f >/dev/null
timeout 60 wineserver -w || true

failed=0
# expect PRINTER TRACE-FILE HORZRES: a job on PRINTER wrote TRACE-FILE on a
# device of HORZRES pixels.
expect() {
  local printer=$1 trace=$2 horzres=$3
  rm -f "$work"/*.trace
  if [ -n "$printer" ]; then printf '[preferences]\nprinter=%s\n' "$printer" >"$work/tolvane.ini"; else : >"$work/tolvane.ini"; fi
  local status=0
  (cd "$work" && run_wine ./tolvane.exe report.txt 1 >/dev/null 2>"$work/stderr.txt") || status=$?
  if [ "$status" -eq 0 ] && grep -q "^GetDeviceCaps HORZRES -> $horzres\$" "$work/$trace" 2>/dev/null; then
    echo "ok: ${printer:-the default printer} -> $trace, $horzres pixels"
  else
    echo "FAILED: ${printer:-the default printer}: exit $status, $(ls "$work"), $(cat "$work/stderr.txt")"
    failed=$((failed + 1))
  fi
}

printf '[windows]\ndevice=Mine,TRACE,mine.trace\n[Devices]\nMine=TRACE,mine.trace\n[Mine]\nhorzsize=100\nhorzres=1000\nvertsize=100\nvertres=1000\n' \
  >"$work/system.ini"
expect Mine mine.trace 1000
expect "" mine.trace 1000
expect WinTrace windows.trace 4960

# The printer list shows the file's printers first, and its default.
listed=$(cd "$work" && run_wine ./tolvane.exe --list-printers | tr -d '\r')
if grep -q '^printer Mine: TRACE,mine.trace (Z:.*system.ini)$' <<<"$listed" &&
   grep -q '^printer WinTrace: TRACE,windows.trace (win.ini \[Devices\])$' <<<"$listed" &&
   grep -q '^default printer: Mine (Z:.*system.ini)$' <<<"$listed"; then
  echo "ok: --list-printers names the file's printers and default"
else
  echo "FAILED: --list-printers: $listed"
  failed=$((failed + 1))
fi

# TOLVANE_SYSTEM_PROFILE names another file, which then answers alone with
# Windows.
printf '[Devices]\nOther=TRACE,other.trace\n[Other]\npaper=A5\nresolution=100\n' >"$work/other.ini"
TOLVANE_SYSTEM_PROFILE='Z:'"${work//\//\\}"'\other.ini' expect Other other.trace 582
[ "$failed" -eq 0 ]
