#!/usr/bin/env bash
# What tolvane.exe says under Wine, run as a host runs it (the program
# beside its tolvane.ini): the lines on standard error for each exit code,
# to a file and to a pipe, in the ANSI code page; --list-printers with the
# printers Wine has (its own [Devices] entries and the CUPS queues it
# imports); and the face the font mapper gives in --check.
#   e2e_diagnostics.sh TOLVANE.EXE WORK-DIR
# WINEPREFIX names the Wine prefix to use.
set -euo pipefail

exe=$1 work=$2
here=$(cd "$(dirname "$0")" && pwd)
# The arguments reach Wine as UTF-8 and the program as the ANSI code page.
run_wine() { LC_ALL=C.UTF-8 "$here/wine-run.sh" "$@"; }

rm -rf "$work"
mkdir -p "$work"
cd "$work"
cp "$exe" tolvane.exe
printf 'A\n' >report.txt
devices='HKCU\Software\Microsoft\Windows NT\CurrentVersion\Devices'
run_wine reg add "$devices" /v Trace /d 'TRACE,job.trace' /f >/dev/null
run_wine reg add "$devices" /v Broken /d 'NoSuchDriver,broken.out' /f >/dev/null
run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' \
  /v Device /d 'Trace,TRACE,job.trace' /f >/dev/null
# Wine imports the CUPS queues when a program first asks for printers.
cups_queue=""
lpstat -p TolvaneTest >/dev/null 2>&1 && cups_queue=TolvaneTest

failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }
use_printer() { printf '[preferences]\nfont=Courier New\nprinter=%s\n' "$1" >tolvane.ini; }

# check_case NAME PRINTER STATUS PATTERN ARGUMENTS...: standard error, once
# to a file and once to a pipe, must end its lines in CR LF and hold a
# tolvane: line that matches PATTERN (an empty one: no tolvane: line).
check_case() {
  local name=$1 printer=$2 want=$3 pattern=$4
  shift 4
  use_printer "$printer"
  local status=0 piped
  run_wine ./tolvane.exe "$@" >/dev/null 2>stderr.txt || status=$?
  piped=$( (run_wine ./tolvane.exe "$@" 2>&1 >/dev/null; true) | od -An -c | tr -s ' \n' ' ')
  [ "$status" = "$want" ] || { fail "$name: exit code $status, not $want"; return; }
  if [ -z "$pattern" ]; then
    if grep -q 'tolvane:' stderr.txt; then fail "$name: said $(cat stderr.txt)"; else echo "ok: $name"; fi
  elif ! tr -d '\r' <stderr.txt | grep -qE "^tolvane: $pattern\$"; then
    fail "$name: standard error was: $(cat stderr.txt)"
  elif ! grep -q $'\r$' stderr.txt; then
    fail "$name: the lines do not end in CR LF"
  elif [ "$piped" != "$(od -An -c stderr.txt | tr -s ' \n' ' ')" ]; then
    fail "$name: a pipe got other bytes than a file"
  else
    echo "ok: $name (exit $status)"
    return
  fi
}

names='Trace'
[ -n "$cups_queue" ] && names="[^:]*$cups_queue[^:]*"
check_case 'unknown printer' NoSuchPrinter 2 \
  "no printer 'NoSuchPrinter' \(printer= in .*tolvane.ini\): looked in the printers of the system and win.ini \[Devices\]: .*($names).*" \
  report.txt 1
check_case 'missing driver' Broken 2 \
  "printer 'Broken' \(driver NoSuchDriver, port broken.out\) gives no device context: .+" report.txt 1
check_case 'missing print file' Trace 55 "cannot open the print file 'missing.txt' in .*" missing.txt 1
check_case 'malformed page' Trace 1 "the first page argument '-': .*" report.txt -
check_case 'printed' Trace 0 '' report.txt 1
[ -s job.trace ] || fail "printed: no trace"
# An empty "" is no argument (so an empty file name, exit code 3, cannot
# be given): what is left is one argument, the usage line.
check_case 'empty argument' Trace 0 "no page range for '1' .*" '' 1

# A letter outside ASCII comes out as the ANSI code page's byte (a with an
# acute accent is 0xE1 in 1250 and 1252 alike), never as UTF-8.
use_printer Trace
run_wine ./tolvane.exe "$(printf 'hi\xc3\xa1ny.txt')" 1 2>stderr.txt || true
if grep -q "$(printf "'hi\xe1ny.txt'")" stderr.txt; then
  echo "ok: a file name in the ANSI code page"
else
  fail "non-ASCII file name: $(od -c stderr.txt | head -5)"
fi

# --list-printers: the [Devices] entries, the imported queue with its
# driver and port, the default marked.
run_wine ./tolvane.exe --list-printers 2>&1 | tr -d '\r' >list.txt || true
grep -qx 'printer Trace: TRACE,job.trace (win.ini \[Devices\])' list.txt || fail "list: no Trace: $(cat list.txt)"
# Wine makes an imported queue the default when it imports it, so the
# default is whichever listed printer win.ini names.
default=$(sed -n 's/^default printer: \(.*\) (win.ini \[windows\] device)$/\1/p' list.txt)
[ -n "$default" ] && grep -q "^printer $default: " list.txt || fail "list: default: $(cat list.txt)"
if [ -n "$cups_queue" ]; then
  grep -qE "^printer $cups_queue: [^,]+,[^,]+ \(printer of the system\)$" list.txt ||
    fail "list: no $cups_queue: $(cat list.txt)"
fi
echo "--list-printers:"; cat list.txt

# --check: the face that came and whether it stands in for Courier New, in
# the screen's context for the TRACE printer and in a system printer's own.
check_font() {
  use_printer "$1"
  run_wine ./tolvane.exe --check report.txt 2>/dev/null | tr -d '\r' >check.txt || true
  local line face
  line=$(grep '^font: ' check.txt) || { fail "check $1: no font line"; return; }
  face=${line#font: }
  face=${face%%,*}
  if [ "${face,,}" = "courier new" ]; then
    [[ "$line" != *substitute* ]] || fail "check $1: $line"
  else
    [[ "$line" == *", a substitute for Courier New, "* ]] || fail "check $1: $line"
  fi
  [[ "$line" == *"$2"* ]] || fail "check $1: not asked $2: $line"
  echo "ok: $line"
}
check_font Trace "in the screen's context (printer 'Trace' is drawn by this program)"
[ -n "$cups_queue" ] && check_font "$cups_queue" "in the context of printer '$cups_queue'"

[ "$failed" -eq 0 ]
