#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the debug
# build with AddressSanitizer and UndefinedBehaviorSanitizer, once in the
# release build that ships.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

for preset in debug release; do
  echo "== $preset build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j "$(nproc)"
done
