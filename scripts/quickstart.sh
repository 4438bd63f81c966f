#!/usr/bin/env bash
# Installs what is missing, builds the program, and prints the sample report
# from a directory that holds the program beside its tolvane.ini, as a host
# application would run it: on the default printer, which on a machine
# without a system printer profile and without CUPS writes tolvane.pdf. A
# second run on the Trace printer lists the device calls.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tolvane

run=build/sample
rm -rf "$run"
mkdir -p "$run/trace"
cp build/release/tolvane examples/tolvane.ini examples/logo.bmp examples/sample-report.txt "$run"/
cd "$run"
status=0
./tolvane sample-report.txt 1 || status=$?
if [ -f tolvane.pdf ]; then
  echo "tolvane exited with $status; the report is $PWD/tolvane.pdf"
else
  echo "tolvane exited with $status; the report went to the default printer" \
       "(the system printer profile's, or CUPS's default queue)"
fi

# The same report on the Trace printer, with a configuration of its own.
cp tolvane sample-report.txt logo.bmp trace/
sed 's/^printer=.*/printer=Trace/' tolvane.ini >trace/tolvane.ini
cd trace
./tolvane sample-report.txt 1 || status=$?
echo "the device calls are in $PWD/tolvane.trace:"
grep -c '^TextOutA' tolvane.trace | sed 's/^/  characters drawn: /'
grep -c '^StartPage' tolvane.trace | sed 's/^/  sheets: /'
exit "$status"
