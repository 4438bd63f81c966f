#!/usr/bin/env bash
# The Windows build: installs what is missing (mingw-w64, Wine, ...),
# cross-builds tolvane.exe and its tests (preset windows), and runs them
# under Wine, headless, in Wine prefixes of their own under build/windows/.
# The end-to-end tests compare tolvane.exe's traces with those of the Linux
# release build, which is built first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --windows

echo "== Linux release build (the traces to compare with) =="
cmake --preset release >/dev/null
cmake --build --preset release --target tolvane

echo "== windows build =="
cmake --preset windows -DTOLVANE_LINUX_BINARY="$PWD/build/release/tolvane" >/dev/null
cmake --build --preset windows
ctest --preset windows -j "$(nproc)"
