#!/usr/bin/env bash
# Throughput benchmark, run by hand (not by the tests):
#
#   bash bench/run.sh                 # 1000 and 10000 pages, every driver
#   PAGES="1000" DRIVERS="PDF" ROUNDS=5 bash bench/run.sh
#
# Generates a report of 66 lines of 80 characters per page with an escape
# sequence on every line, prints it on each driver from a directory that holds
# the release program and its tolvane.ini, and, in the same rounds, prints
# the same text (escape sequences taken out) with CUPS texttopdf, in its
# default charset and in UTF-8, and with enscript. The runs are interleaved
# (every program once per round), so that a busy machine slows them alike,
# and each program's best round counts. Prints pages per CPU second (user
# and system time), each driver's ratio to the other programs, output bytes
# per page and peak memory; then the CPU time of a one-page job (after one
# run that warms the caches).
set -euo pipefail
cd "$(dirname "$0")/.."

pages_list=${PAGES:-"1000 10000"}
drivers=${DRIVERS:-"TRACE PDF PS SVG PNG"}
rounds=${ROUNDS:-3}
one_page_runs=${ONE_PAGE_RUNS:-20}
texttopdf=/usr/lib/cups/filter/texttopdf

missing=()
command -v /usr/bin/time >/dev/null || missing+=(time)
[ -x "$texttopdf" ] || missing+=(cups-filters)
command -v enscript >/dev/null || missing+=(enscript)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
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
# The font answers that the runs keep stay here, not in the user's cache.
export XDG_CACHE_HOME="$work/cache"
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
  sed 's/\x1b[BNP]//g' "$2" >"${2%.txt}.plain"
}

use_printer() {
  sed -i '/^printer=/d' "$work/tolvane.ini"
  sed -i "s/^\[preferences\]/[preferences]\nprinter=$1/" "$work/tolvane.ini"
}

# The command that prints the report NAME on program PROGRAM; what it
# writes to standard output goes to out/stdout. The others print on A4 too,
# and 7 lines an inch keep 66 lines on one sheet.
set_command() {  # PROGRAM NAME
  case $1 in
    texttopdf) command=(env -u CHARSET "$texttopdf" 1 bench report 1 "media=A4 lpi=7" "$2.plain") ;;
    texttopdf-utf8) command=(env CHARSET=utf-8 "$texttopdf" 1 bench report 1 "media=A4 lpi=7" "$2.plain") ;;
    enscript) command=(enscript -q -B -M A4 --lines-per-page=66 -p out/report.ps "$2.plain") ;;
    *) use_printer "$1"; command=("$work/tolvane" "$2.txt" 1) ;;
  esac
}

others="texttopdf texttopdf-utf8 enscript"
declare -A cpu size rss

# One run: CPU seconds, output bytes and peak memory, best CPU kept.
measure() {  # PROGRAM PAGES
  local name=$1 pages=$2
  rm -rf out && mkdir out
  set_command "$name" "report-$pages"
  if ! /usr/bin/time -f '%U %S %M' -o "$work/usage" "${command[@]}" >out/stdout 2>"$work/errors"; then
    echo "$name failed:"; cat "$work/errors"; return
  fi
  read -r user system kb <"$work/usage"
  local seconds
  seconds=$(awk -v u="$user" -v s="$system" 'BEGIN { t = u + s; print (t < 0.01 ? 0.01 : t) }')
  local key="$name/$pages"
  if [ -z "${cpu[$key]:-}" ] || awk -v a="$seconds" -v b="${cpu[$key]}" 'BEGIN { exit !(a < b) }'; then
    cpu[$key]=$seconds
  fi
  size[$key]=$(du -sb out | cut -f1)
  rss[$key]=$kb
}

for pages in $pages_list; do
  make_report "$pages" "$work/report-$pages.txt"
  for round in $(seq "$rounds"); do
    for name in $drivers $others; do measure "$name" "$pages"; done
  done
done

printf '%-15s %7s %12s %10s %12s   %s\n' program pages "pages/CPU s" "per page" "peak memory" \
  "pages/s against texttopdf, texttopdf UTF-8, enscript"
for pages in $pages_list; do
  for name in $drivers $others; do
    key="$name/$pages"
    [ -n "${cpu[$key]:-}" ] || continue
    ratios=""
    for other in $others; do
      [ -n "${cpu[$other/$pages]:-}" ] || continue
      ratios+=$(awk -v a="${cpu[$key]}" -v b="${cpu[$other/$pages]}" 'BEGIN { printf "%6.2fx ", b / a }')
    done
    awk -v n="$name" -v p="$pages" -v t="${cpu[$key]}" -v o="${size[$key]}" -v m="${rss[$key]}" -v r="$ratios" \
      'BEGIN { printf "%-15s %7d %12.0f %8.1f KB %9.1f MB   %s\n", n, p, p / t, o / p / 1024, m / 1024, r }'
  done
done

# The one-page job: CPU time per run, counted by perf where it may count,
# else from many runs in a row under one shell (whose own forks then add a
# little to every program alike).
make_report 1 "$work/report-1.txt"
for name in $drivers $others; do
  rm -rf out && mkdir out
  set_command "$name" report-1
  # One run first, as every program's caches (Tolvane's font answers among
  # them) are warm on a machine that prints every day.
  "${command[@]}" >out/stdout 2>/dev/null || true
  if perf stat -x, -e task-clock -r "$one_page_runs" -o "$work/perf" "${command[@]}" \
      >out/stdout 2>/dev/null; then
    ms=$(awk -F, '/task-clock/ { print $1 }' "$work/perf")
  else
    /usr/bin/time -f '%U %S' -o "$work/usage" bash -c \
      'for i in $(seq "$0"); do "$@" >out/stdout 2>/dev/null; done' "$one_page_runs" "${command[@]}"
    ms=$(awk -v k="$one_page_runs" '{ print ($1 + $2) * 1000 / k }' "$work/usage")
  fi
  awk -v n="$name" -v t="$ms" 'BEGIN { printf "one-page job on %-15s %6.1f ms CPU\n", n, t }'
done
