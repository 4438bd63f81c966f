#!/usr/bin/env bash
# A real print of the sample report through Wine's own PostScript printer
# driver: a printer is registered in the Wine prefix with a PPD of our own
# and a file as its port, tolvane.exe prints examples/sample-report.txt on
# it, and the PostScript that comes out is turned into PDF and checked
# against the trace of the same job on a TRACE printer of the same geometry:
# the words where their characters were drawn, the logo inside its
# rectangle. A job aborted on that printer must leave no output.
#   e2e_print.sh TOLVANE.EXE ADD-PRINTER.EXE SOURCE-DIR WORK-DIR
# WINEPREFIX names the Wine prefix to use. Exit code 77: ghostscript,
# poppler-utils or python3 missing.
set -euo pipefail

exe=$1 add_printer=$2 source=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
run_wine() { "$here/wine-run.sh" "$@"; }

for tool in ps2pdf pdftotext pdftoppm python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (ghostscript, poppler-utils, python3)"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work/print" "$work/trace"
cp "$here/tolvane-test.ppd" "$work/"
output="$work/tolvane.ps"
printer="Tolvane PostScript"

# Wine's driver writes what it prints to a port that is a file name.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
run_wine "$add_printer" "$printer" "$output" "$(windows_path "$work/tolvane-test.ppd")" |
  tr -d '\r' >"$work/caps.txt"
caps() { sed -n "s/^$1=//p" "$work/caps.txt"; }
echo "the printer reports: $(tr '\n' ' ' <"$work/caps.txt")"

# The same job twice: on the real printer, and on a TRACE printer whose
# geometry is what the real one reports.
for dir in print trace; do
  cp "$exe" "$source/examples/logo.bmp" "$source/examples/sample-report.txt" "$work/$dir/"
done
sed "s/^printer=.*/printer=$printer/" "$source/examples/tolvane.ini" >"$work/print/tolvane.ini"
sed "s/^printer=.*/printer=Trace/" "$source/examples/tolvane.ini" >"$work/trace/tolvane.ini"
run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
  /v Trace /d 'TRACE,job.trace' /f >/dev/null
timeout 60 wineserver -w || true
win_ini="$WINEPREFIX/drive_c/windows/win.ini"
{
  [ -f "$win_ini" ] && awk '/^\[/ { skip = ($0 == "[Trace]") } !skip' "$win_ini"
  printf '[Trace]\n'
  grep -E '^(horz|vert)(size|res)=' "$work/caps.txt"
} >"$win_ini.new"
mv "$win_ini.new" "$win_ini"

status=0
(cd "$work/print" && run_wine ./tolvane.exe sample-report.txt 1) || status=$?
[ "$status" -eq 0 ] || { echo "FAILED: tolvane.exe exited with $status on the printer"; exit 1; }
[ -s "$output" ] || { echo "FAILED: the printer wrote nothing to $output"; exit 1; }
(cd "$work/trace" && run_wine ./tolvane.exe sample-report.txt 1) || status=$?
[ "$status" -eq 0 ] || { echo "FAILED: tolvane.exe exited with $status on the trace printer"; exit 1; }
head -1 "$output" | grep -q '^%!PS-Adobe' || { echo "FAILED: no PostScript in $output"; exit 1; }
grep -q '^%%Title: Tolvane_drv' "$output" || { echo "FAILED: the document is not named Tolvane_drv"; exit 1; }

ps2pdf "$output" "$work/tolvane.pdf"
pdftotext -bbox "$work/tolvane.pdf" "$work/words.html"
pdftoppm -r 100 -f 1 -l 1 "$work/tolvane.pdf" "$work/sheet"
pdftoppm -r 50 -png "$work/tolvane.pdf" "$work/sheet-preview"
python3 "$here/check_print.py" "$work/trace/job.trace" "$work/words.html" "$work/sheet-1.ppm" \
  "$(caps dpix)" "$(caps offsetx)" "$(caps offsety)"

# An aborted document prints nothing: a missing print file ends the job
# with exit code 55 after AbortDoc.
rm -f "$output"
status=0
(cd "$work/print" && run_wine ./tolvane.exe missing-report.txt 1) || status=$?
[ "$status" -eq 55 ] || { echo "FAILED: a missing print file gave exit code $status, not 55"; exit 1; }
timeout 60 wineserver -w || true
[ ! -e "$output" ] || { echo "FAILED: the aborted document was printed"; exit 1; }
echo "ok: the aborted document left no output"
echo "the print is in $work/tolvane.pdf"
