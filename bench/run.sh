#!/usr/bin/env bash
# Throughput benchmark, run by hand (not by the tests):
#
#   bash bench/run.sh                 # 1000 and 10000 pages, PDF and PS
#   PAGES="1000" DRIVERS="TRACE PDF PS SVG PNG" ROUNDS=3 REPORTS=realistic bash bench/run.sh
#
# Generates reports (bench/make-report.py: a realistic ledger of varied
# words, names, amounts, accents and bold switches, and the best case of one
# repeated line), prints them on each driver from a directory that holds the
# release program and its tolvane.ini, and, in the same rounds, prints the
# same text with CUPS texttopdf, in its default charset and in UTF-8, and
# with enscript (bench/bench.py). Prints pages per CPU second, ratios to
# the other programs, output bytes per page, peak memory, the targets on the
# realistic report, the cost of a BOLD switch and the one-page job.
set -euo pipefail
cd "$(dirname "$0")/.."

texttopdf=/usr/lib/cups/filter/texttopdf

missing=()
command -v /usr/bin/time >/dev/null || missing+=(time)
[ -x "$texttopdf" ] || missing+=(cups-filters)
command -v enscript >/dev/null || missing+=(enscript)
command -v python3 >/dev/null || missing+=(python3)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
cmake --preset release >/dev/null
cmake --build --preset release --target tolvane >/dev/null

exec python3 bench/bench.py
