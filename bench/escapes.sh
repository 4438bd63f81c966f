#!/usr/bin/env bash
# Escape sequences on one long line, run by hand (not by the tests):
#
#   bash bench/escapes.sh                  # 250,000 to 2,000,000 escapes
#   COUNTS="2000000" bash bench/escapes.sh
#
# Prints one line of COUNT escape sequences (ESC B:1; each, a configured
# command with an inline argument) on the TRACE driver and prints the time
# per escape, which stays the same however long the line is.
set -euo pipefail
cd "$(dirname "$0")/.."

counts=${COUNTS:-"250000 500000 1000000 2000000"}
cmake --preset release >/dev/null
cmake --build --preset release --target tolvane >/dev/null

work=$(mktemp -d /tmp/tolvane-escapes-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp build/release/tolvane "$work/"
printf '[preferences]\nprinter=Trace\n[sequences]\nB=BOLD:\n' >"$work/tolvane.ini"
printf '[Devices]\nTrace=TRACE,/dev/null\n' >"$work/system.ini"
export TOLVANE_SYSTEM_PROFILE="$work/system.ini"
cd "$work"

printf '%10s %10s %14s\n' escapes seconds "ns per escape"
for count in $counts; do
  awk -v count="$count" 'BEGIN { for (i = 0; i < count; i++) printf "\033B:%d;", i % 2; print "x" }' \
    >report.txt
  start=$(date +%s.%N)
  ./tolvane report.txt 1
  end=$(date +%s.%N)
  awk -v count="$count" -v start="$start" -v end="$end" \
    'BEGIN { printf "%10d %10.2f %14.0f\n", count, end - start, (end - start) * 1e9 / count }'
done
