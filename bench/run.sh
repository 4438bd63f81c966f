#!/usr/bin/env bash
# Throughput benchmark, run by hand (not by the tests):
#
#   bash bench/run.sh                 # 1000 and 10000 pages, every driver
#   PAGES="1000" DRIVERS="PDF" bash bench/run.sh
#
# Generates a report of 66 lines of 80 characters per page with an escape
# sequence on every line, prints it on each driver from a directory that holds
# the release program and its tolvane.ini, and prints pages per second, output
# size and peak memory; then the wall time of a one-page job.
set -euo pipefail
cd "$(dirname "$0")/.."

pages_list=${PAGES:-"1000 10000"}
drivers=${DRIVERS:-"TRACE PDF PS SVG PNG"}

if ! command -v /usr/bin/time >/dev/null; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends time >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release --target tolvane >/dev/null

work=$(mktemp -d /tmp/tolvane-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
cp build/release/tolvane "$work/"
cat >"$work/tolvane.ini" <<'INI'
[preferences]
font=Courier New
leftmargin=10
uppermargin=10
[sequences]
B=BOLD:1
N=BOLD:0
P=LINH:41
INI
cat >"$work/system.ini" <<'INI'
[Devices]
TRACE=TRACE,out/report.trace
PDF=PDF,out/report.pdf
PS=PS,out/report.ps
SVG=SVG,out/page-%05d.svg
PNG=PNG,out/page-%05d.png
[PNG]
resolution=100
INI
export TOLVANE_SYSTEM_PROFILE="$work/system.ini"
cd "$work"

# 66 lines of 80 characters a page; every line starts with an escape
# sequence, every tenth one is bold.
make_report() {
  awk -v pages="$1" 'BEGIN {
    line = "";
    for (i = 0; i < 80; i++) line = line sprintf("%c", 33 + (i * 7) % 94);
    for (p = 1; p <= pages; p++) {
      for (l = 1; l <= 66; l++) {
        if (l % 10 == 0) printf "\033B%s\033N\r\n", line;
        else printf "\033P%s\r\n", line;
      }
      if (p < pages) printf "\f";
    }
  }' >"$2"
}

printf '%-6s %7s %10s %12s %12s\n' driver pages "pages/s" "output" "peak memory"
for pages in $pages_list; do
  make_report "$pages" "$work/report-$pages.txt"
  for driver in $drivers; do
    rm -rf "$work/out" && mkdir "$work/out"
    sed -i '/^printer=/d' "$work/tolvane.ini"
    sed -i "s/^\[preferences\]/[preferences]\nprinter=$driver/" "$work/tolvane.ini"
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/rss" "$work/tolvane" "$work/report-$pages.txt" 1 \
      >/dev/null 2>"$work/errors" || { echo "$driver failed:"; cat "$work/errors"; continue; }
    end=$(date +%s.%N)
    size=$(du -sb "$work/out" | cut -f1)
    awk -v d="$driver" -v p="$pages" -v s="$start" -v e="$end" -v o="$size" -v m="$(cat "$work/rss")" \
      'BEGIN { printf "%-6s %7d %10.0f %9.1f MB %9.1f MB\n", d, p, p / (e - s), o / 1048576, m / 1024 }' 
  done
done

make_report 1 "$work/one-page.txt"
for driver in $drivers; do
  rm -rf "$work/out" && mkdir "$work/out"
  sed -i '/^printer=/d' "$work/tolvane.ini"
  sed -i "s/^\[preferences\]/[preferences]\nprinter=$driver/" "$work/tolvane.ini"
  best=""
  for run in 1 2 3 4 5; do
    start=$(date +%s%N)
    "$work/tolvane" "$work/one-page.txt" 1 >/dev/null 2>&1 || true
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ -z "$best" ] || [ "$elapsed" -lt "$best" ]; then best=$elapsed; fi
  done
  printf 'one-page job on %-6s %4d ms (best of 5)\n' "$driver" "$best"
done
