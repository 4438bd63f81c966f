#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
#   install-deps.sh [--windows]
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev zlib1g-dev libcups2-dev)
# The file drivers: cairo, fontconfig, FreeType and stb_image to draw, the
# fonts they draw with, and poppler's tools for the tests that read PDFs.
packages+=(libcairo2-dev libfontconfig-dev libfreetype-dev libstb-dev fonts-liberation2
           fonts-dejavu-core poppler-utils)
# The PDF writer: libdeflate; qpdf checks the PDFs that the tests write.
packages+=(libdeflate-dev qpdf)
# Ghostscript runs the PostScript that the tests write, and converts it to PDF.
packages+=(ghostscript)
# The fuzz targets: clang with libFuzzer and the sanitizers' runtimes.
packages+=(clang-14 libclang-rt-14-dev)

# --windows: also what the Windows build and its tests under Wine need, and
# wixl and msitools for its installer.
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest wine wine64 fonts-liberation2
             ghostscript poppler-utils python3 wixl msitools)
fi

bash "$(dirname "$0")/install-missing.sh" install-deps "${packages[@]}"
