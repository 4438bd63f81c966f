#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the debug
# build with AddressSanitizer and UndefinedBehaviorSanitizer, once in the
# release build that ships.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# As root (CI), a running CUPS scheduler with the TolvaneTest queue, so that
# the tests that print to a real queue run; elsewhere they skip unless the
# queue was set up before.
if [ "$(id -u)" -eq 0 ]; then
  bash scripts/cups-test-setup.sh
fi

for preset in debug release; do
  echo "== $preset build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j "$(nproc)"
done

# The Debian package and the CUPS print server: installs, prints through a
# scheduler of its own, removes. Root on Debian only (it skips elsewhere).
bash scripts/test-package.sh
# A short run of each fuzz target, under two minutes in all (long runs: the
# README's Fuzzing section).
echo "== fuzz targets =="
bash fuzz/run.sh 15

# The Windows build, cross-built with mingw-w64 and tested under Wine. It
# installs Debian packages, so it runs where that is possible (root on
# Debian, as in CI).
if [ "$(id -u)" -eq 0 ] && [ -f /etc/debian_version ]; then
  bash scripts/test-windows.sh
else
  echo "NOTE: the Windows build was not tested: scripts/test-windows.sh needs root on Debian" \
       "to install mingw-w64 and Wine."
fi
