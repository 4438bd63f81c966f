#!/usr/bin/env bash
# Installs what is missing, builds the program, and prints the sample report
# from a directory that holds the program beside its tolvane.ini, as a host
# application would run it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tolvane

run=build/sample
mkdir -p "$run"
cp build/release/tolvane examples/tolvane.ini examples/logo.bmp examples/sample-report.txt "$run"/
cd "$run"
status=0
./tolvane sample-report.txt 1 || status=$?
echo "tolvane exited with $status; the device calls are in $PWD/tolvane.trace:"
grep -c '^TextOutA' tolvane.trace | sed 's/^/  characters drawn: /'
grep -c '^StartPage' tolvane.trace | sed 's/^/  sheets: /'
exit "$status"
