#!/usr/bin/env bash
# The document writers of tolvane.exe under Wine against the Linux build's:
# the same jobs on a PDF printer named in system.ini beside the program
# must give the same words at the same places (pdftotext -bbox) and, with
# the same face installed, the same streams once inflated (the font bytes
# among them); the PS printer's file must read as the Linux one does in
# Ghostscript; a failed job leaves no file and keeps the older one; the
# Preview printer opens its PDF with the program set up for .pdf files,
# and without one there is no printer.
#   e2e_writers.sh TOLVANE.EXE LINUX-TOLVANE SOURCE-DIR WORK-DIR
# WINEPREFIX names the Wine prefix to use. Exit code 77: no Linux program
# or no poppler or Ghostscript to compare with.
set -euo pipefail

exe=$1 linux=$2 source=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
run_wine() { "$here/wine-run.sh" "$@"; }

for tool in pdftotext gs python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done
[ -x "$linux" ] || { echo "SKIP: no Linux build of tolvane at $linux"; exit 77; }

rm -rf "$work"
mkdir -p "$work/win" "$work/linux"
cp "$exe" "$work/win/tolvane.exe"
cp "$linux" "$work/linux/tolvane"
export TOLVANE_LOG=off

# Wine's mapper answers Courier New with its default face unless told
# otherwise; fontconfig answers it with Liberation Mono.
run_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Courier New' \
  /d 'Liberation Mono' /f >/dev/null
timeout 60 wineserver -w || true

printf '%s\n' '[windows]' 'device=Archive,PDF,out.pdf' '[Devices]' 'Archive=PDF,out.pdf' \
  'Central=PDF,out.pdf' 'Western=PDF,out.pdf' 'Script=PS,out.ps' 'Look=Preview,' \
  '[Central]' 'codepage=1250' '[Western]' 'codepage=1252' >"$work/system.ini"

failed=0
fail() { echo "FAILED: $*"; failed=$((failed + 1)); }

# Every stream of a PDF, inflated where it is compressed, one digest a line.
streams() {
  python3 - "$1" <<'EOF'
import hashlib, re, sys, zlib
data = open(sys.argv[1], 'rb').read()
for m in re.finditer(rb'(?<!end)stream\r?\n', data):
    head = data[max(0, m.start() - 400):m.start()]
    # The cross-reference stream holds the file's offsets, which the two
    # compressors' stream sizes move.
    if b'/Type/XRef' in head[head.rfind(b' obj'):]:
        continue
    length = int(re.findall(rb'/Length (\d+)', head)[-1])
    body = data[m.end():m.end() + length]
    try:
        body = zlib.decompress(body)
    except zlib.error:
        pass
    print(hashlib.sha1(body).hexdigest())
EOF
}

# run_both NAME PRINTER INI REPORT [FILES...]: the job on both builds, each
# in a folder of its own with its tolvane.ini (INI with its printer= line
# naming PRINTER) and files beside it.
run_both() {
  local name=$1 printer=$2 ini=$3 report=$4
  shift 4
  for side in win linux; do
    rm -f "$work/$side"/out.* "$work/$side/stderr.txt"
    sed "s/^printer=.*/printer=$printer/" "$ini" >"$work/$side/tolvane.ini"
    cp "$report" "$work/$side/report.txt"
    [ $# -gt 0 ] && cp "$@" "$work/$side/"
  done
  cp "$work/system.ini" "$work/win/system.ini"
  (cd "$work/win" && run_wine ./tolvane.exe report.txt 1 9 >/dev/null 2>stderr.txt) ||
    fail "$name: tolvane.exe: exit $?: $(cat "$work/win/stderr.txt")"
  (cd "$work/linux" && TOLVANE_SYSTEM_PROFILE="$work/system.ini" ./tolvane report.txt 1 9 \
     2>stderr.txt) || fail "$name: tolvane: exit $?: $(cat "$work/linux/stderr.txt")"
}

compare_pdf() {
  local name=$1
  pdftotext -bbox "$work/win/out.pdf" "$work/win/words.html" 2>/dev/null || true
  pdftotext -bbox "$work/linux/out.pdf" "$work/linux/words.html" 2>/dev/null || true
  if [ ! -s "$work/win/words.html" ] || ! cmp -s "$work/win/words.html" "$work/linux/words.html"; then
    fail "$name: the words or their places differ"
    diff "$work/linux/words.html" "$work/win/words.html" | head -5 || true
  elif [ "$(streams "$work/win/out.pdf")" != "$(streams "$work/linux/out.pdf")" ]; then
    fail "$name: the same words, but the streams differ"
  else
    echo "ok: $name: $(grep -c '<word' "$work/win/words.html") words at the same places, the same streams"
  fi
}

# The sample report, logo and accents, on the default printer.
run_both sample "" "$source/examples/tolvane.ini" "$source/examples/sample-report.txt" \
  "$source/examples/logo.bmp"
compare_pdf "the sample report"

# Every byte from 32 up, in the central and the western code page.
python3 -c '
import sys
rows = [bytes(range(b, b + 16)) for b in range(32, 256, 16)]
sys.stdout.buffer.write(b"\r\n".join(bytes(c for c in r if c != 127) for r in rows) + b"\r\n")
' >"$work/bytes.txt"
printf '[preferences]\nfont=Courier New\nprinter=\n' >"$work/plain.ini"
for printer in Central Western; do
  run_both "$printer" "$printer" "$work/plain.ini" "$work/bytes.txt"
  compare_pdf "code page $(grep -A1 "^\[$printer\]" "$work/system.ini" | tail -1 | cut -d= -f2)"
done

# PostScript: Ghostscript reads the same text from both.
run_both postscript Script "$source/examples/tolvane.ini" "$source/examples/sample-report.txt" \
  "$source/examples/logo.bmp"
for side in win linux; do
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=txtwrite -sOutputFile="$work/$side/ps.txt" \
    "$work/$side/out.ps" 2>/dev/null || true
done
if [ -s "$work/win/ps.txt" ] && cmp -s "$work/win/ps.txt" "$work/linux/ps.txt" &&
   grep -q 'TOLVANE' "$work/win/ps.txt"; then
  echo "ok: Ghostscript reads the PS printer's file as the Linux one"
else
  fail "the PS printer's file: Ghostscript reads $(wc -c <"$work/win/ps.txt" 2>/dev/null || echo no) bytes"
fi

# A job that fails while it prints leaves no file, and the older one stays.
echo older >"$work/win/out.pdf"
printf '[preferences]\nprinter=Archive\n[sequences]\nX=FSIZ:1-2\n' >"$work/win/tolvane.ini"
printf 'first line\r\n\033X\r\n' >"$work/win/report.txt"
before=$(ls -A "$work/win")
status=0
(cd "$work/win" && run_wine ./tolvane.exe report.txt 1 >/dev/null 2>stderr.txt) || status=$?
if [ "$status" -ne 0 ] && [ "$(cat "$work/win/out.pdf")" = older ] &&
   [ "$(ls -A "$work/win")" = "$before" ]; then
  echo "ok: a failed job (exit $status) leaves nothing and keeps the older file"
else
  fail "a failed job: exit $status, out.pdf: $(head -c 20 "$work/win/out.pdf"), files: $(ls -A "$work/win")"
fi

# Preview without a program for .pdf files (Wine's prefix opens them with
# its browser): no printer, and why.
run_wine reg delete 'HKCR\.pdf' /f >/dev/null 2>&1 || true
timeout 60 wineserver -w || true
printf '[preferences]\nprinter=Look\n' >"$work/win/tolvane.ini"
printf 'to look at\r\n' >"$work/win/report.txt"
status=0
(cd "$work/win" && run_wine ./tolvane.exe report.txt 1 >/dev/null 2>stderr.txt) || status=$?
if [ "$status" -eq 2 ] && grep -q 'no preview can be shown' "$work/win/stderr.txt"; then
  echo "ok: Preview without a viewer: exit 2, $(tr -d '\r' <"$work/win/stderr.txt" | head -1)"
else
  fail "Preview without a viewer: exit $status: $(cat "$work/win/stderr.txt")"
fi

# With a stand-in viewer that copies what it is given.
seen="$work/win/seen.pdf"
winseen="Z:$(tr / '\\' <<<"$seen")"
run_wine reg add 'HKCR\.pdf' /ve /d TolvaneTestViewer /f >/dev/null
run_wine reg add 'HKCR\TolvaneTestViewer\shell\open\command' /ve \
  /d "C:\\windows\\system32\\cmd.exe /c copy \"%1\" \"$winseen\"" /f >/dev/null
timeout 60 wineserver -w || true
status=0
(cd "$work/win" && run_wine ./tolvane.exe report.txt 1 >/dev/null 2>stderr.txt) || status=$?
for _ in $(seq 1 40); do [ -s "$seen" ] && break; sleep 0.5; done
if [ "$status" -eq 0 ] && [ -s "$seen" ] && pdftotext "$seen" - 2>/dev/null | grep -q 'to look at'; then
  echo "ok: Preview opened its PDF in the stand-in viewer"
else
  fail "Preview with a viewer: exit $status, $(cat "$work/win/stderr.txt"), seen: $(ls -l "$seen" 2>&1)"
fi

[ "$failed" -eq 0 ] || { echo "$failed failed"; exit 1; }
