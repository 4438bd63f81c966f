#!/usr/bin/env bash
# The job log of tolvane.exe under Wine: a line per job in
# %LOCALAPPDATA%\Tolvane\tolvane.log, whatever the outcome, with the reason
# of a failure; TOLVANE_LOG moves it or turns it off; rotation at 1 MB;
# parallel jobs; a log that cannot be written never fails the job.
#   e2e_job_log.sh TOLVANE.EXE WORK-DIR
# WINEPREFIX names the Wine prefix to use.
set -euo pipefail

exe=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
run_wine() { "$here/wine-run.sh" "$@"; }
# A path of this machine as Wine's drive Z: shows it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$work"
mkdir -p "$work"
cp "$exe" "$work/tolvane.exe"
printf 'A\fB\n' >"$work/report.txt"

run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
  /v Trace /d 'TRACE,job.trace' /f >/dev/null
timeout 60 wineserver -w || true
win_ini="$WINEPREFIX/drive_c/windows/win.ini"
grep -q '^\[Trace\]' "$win_ini" 2>/dev/null ||
  printf '[Trace]\nhorzsize=203\nhorzres=2400\nvertsize=287\nvertres=3390\n' >>"$win_ini"

log=$(find "$WINEPREFIX/drive_c/users" -maxdepth 1 -mindepth 1 -type d ! -name Public | head -1)/AppData/Local/Tolvane/tolvane.log
rm -f "$log" "$log.1"
failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }

# job INI ARGUMENTS...: runs one job in the work directory; sets status.
job() {
  printf "$1" >"$work/tolvane.ini"
  shift
  status=0
  (cd "$work" && run_wine ./tolvane.exe "$@" >stdout.txt 2>stderr.txt) || status=$?
}

# expect_line PATTERN: the log's last line (CRLF-ended) matches PATTERN.
expect_line() {
  local last
  last=$(tail -n 1 "$log" 2>/dev/null | tr -d '\r')
  if ! tail -c 2 "$log" | od -An -c | grep -q '\\r  *\\n'; then fail "line not CRLF-ended: $last"; fi
  if printf '%s\n' "$last" | grep -Eq "$1"; then echo "ok: $last"; else fail "expected /$1/, got: $last"; fi
}

trace='[preferences]\nprinter=Trace\n'
time_re='^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2} '
file_re='file="Z:\\.*\\report\.txt"'

job "$trace" report.txt 1
expect_line "${time_re}${file_re} pages=\"1 to 32767\" printer=\"Trace\" driver=\"TRACE\" output=\"Z:.*\\\\job\.trace\" sheets=2 exit=0$"
job '[preferences]\nprinter=NoSuchPrinter\n' report.txt 1
expect_line "printer=\"NoSuchPrinter\" .* exit=2 reason=\"no printer 'NoSuchPrinter' .*\"$"
job "$trace" missing.txt 1 2
expect_line "pages=\"1 to 2\" .* exit=55 reason=\"cannot open the print file 'missing.txt' in .*\"$"
job "$trace" report.txt -
expect_line "exit=1 reason=\"the first page argument '-': .*; warning box 'Figyelem!'\"$"
[ "$(wc -l <"$log")" -eq 4 ] || fail "$(wc -l <"$log") lines for 4 jobs"

# TOLVANE_LOG names another file, or turns the log off.
other="$work/other.log"
TOLVANE_LOG=$(windows_path "$other") job "$trace" report.txt 1
grep -q 'exit=0' "$other" && echo "ok: TOLVANE_LOG" || fail "no line in TOLVANE_LOG's file"
before=$(wc -l <"$log")
TOLVANE_LOG=off job "$trace" report.txt 1
[ "$(wc -l <"$log")" -eq "$before" ] && echo "ok: TOLVANE_LOG=off" || fail "TOLVANE_LOG=off logged"

# A log that cannot be written: the job still prints, and says why.
TOLVANE_LOG=$(windows_path "$work") job "$trace" report.txt 1
if [ "$status" -eq 0 ] && grep -q "^tolvane: the job log .* was not written" "$work/stderr.txt"; then
  echo "ok: an unwritable log"
else
  fail "unwritable log: exit $status, $(cat "$work/stderr.txt")"
fi

# At 1 MB the file moves to tolvane.log.1.
head -c 1048576 /dev/zero | tr '\0' 'x' >"$log"
job "$trace" report.txt 1
if [ "$(wc -c <"$log.1")" -eq 1048576 ] && [ "$(wc -l <"$log")" -eq 1 ]; then
  echo "ok: rotation"
else
  fail "rotation: $(wc -c <"$log.1" 2>/dev/null) bytes in .1, $(wc -l <"$log") lines"
fi

# Parallel jobs: every line whole.
printf "$trace" >"$work/tolvane.ini"
pids=()
for i in 1 2 3 4 5 6; do
  (cd "$work" && run_wine ./tolvane.exe report.txt 1 >/dev/null 2>&1) &
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || fail "a parallel job failed"; done
whole=$(tr -d '\r' <"$log" | grep -Ec "${time_re}.* sheets=2 exit=0$" || true)
[ "$whole" -eq 7 ] && [ "$(wc -l <"$log")" -eq 7 ] && echo "ok: parallel jobs" ||
  fail "parallel jobs: $whole whole lines of $(wc -l <"$log")"

[ "$failed" -eq 0 ]
