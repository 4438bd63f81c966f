#!/usr/bin/env bash
# Peak memory of a print file that is one long line, run by hand (not by
# the tests):
#
#   bash bench/long-line-memory.sh            # a line of 1 GiB
#   MEGABYTES=200 bash bench/long-line-memory.sh
#
# Prints two files on the TRACE driver to /dev/null, each a single line of
# MEGABYTES: plain text, and the same with an escape sequence every 100
# bytes (bold on and off, a line height with an inline argument, a cell size
# whose argument the next one ends). Shows the time and the peak memory
# (maximum resident set) of each job; the line is read in pieces, so the
# peak is the same whatever its length.
set -euo pipefail
cd "$(dirname "$0")/.."

megabytes=${MEGABYTES:-1024}
cmake --preset release >/dev/null
cmake --build --preset release --target tolvane >/dev/null

work=$(mktemp -d /tmp/tolvane-long-line-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp build/release/tolvane "$work/"
printf '[preferences]\nprinter=Trace\n[sequences]\nB=BOLD:1\nN=BOLD:0\nL=LINH:\nW=FSIZ:36\n' \
  >"$work/tolvane.ini"
printf '[Devices]\nTrace=TRACE,/dev/null\n' >"$work/system.ini"
export TOLVANE_SYSTEM_PROFILE="$work/system.ini"
cd "$work"

# Blocks of 100 bytes, written in runs of 1 MiB; the escapes of a block: the
# bold switches, the line height and a cell size of two inline numbers.
python3 - "$megabytes" <<'PY'
import sys
megabytes = int(sys.argv[1])
plain = b"0123456789" * 104857 + b"012345"
blocks = [b"x" * 98 + b"\x1bB", b"x" * 98 + b"\x1bN", b"x" * 94 + b"\x1bL:41;", b"x" * 91 + b"\x1bW:36,24;"]
escapes = b"".join(blocks) * 2621 + b"x" * 176
assert len(plain) == len(escapes) == 1 << 20
with open("plain.txt", "wb") as a, open("escapes.txt", "wb") as b:
    for _ in range(megabytes):
        a.write(plain)
        b.write(escapes)
PY

printf '%-12s %10s %10s %16s\n' file MiB seconds "peak memory MB"
for name in plain escapes; do
  /usr/bin/time -v -o time.txt ./tolvane "$name.txt" 1 2>/dev/null
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; print s }' time.txt)
  peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' time.txt)
  printf '%-12s %10d %10s %16s\n' "$name.txt" "$megabytes" "$seconds" "$peak"
done
