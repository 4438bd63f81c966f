#!/usr/bin/env bash
# The Windows packages of tolvane.exe: an installer (MSI, built by wixl from
# packaging/windows/tolvane.wxs) and a plain zip of the same files for
# copying next to a host application.
#   package-windows.sh
# writes build/windows/package/tolvane-VERSION-x64.msi and .zip. VERSION is
# the CMake project's version. tolvane.exe is built with the windows preset
# when needed.
#   TOLVANE_MSI_VERSION=X.Y.Z   another version (a test's newer package)
#   TOLVANE_EXE=PATH            package this tolvane.exe, build nothing
#   TOLVANE_PACKAGE_DIR=DIR     write the packages there
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD

fail() {
  echo "package-windows: $*" >&2
  exit 1
}

for tool in wixl msibuild msiinfo python3; do
  command -v "$tool" >/dev/null ||
    fail "$tool not found: install Debian's wixl, msitools and python3 (bash scripts/install-deps.sh --windows)"
done

# Windows Installer compares the first three fields only, each within
# bounds: major and minor up to 255, build up to 65535.
project_version() {
  sed -n 's/^project(tolvane VERSION \([^ )]*\).*/\1/p' "$source/CMakeLists.txt"
}
version=${TOLVANE_MSI_VERSION:-$(project_version)}
[ -n "$version" ] || fail "no 'project(tolvane VERSION ...)' in $source/CMakeLists.txt"
IFS=. read -r major minor build rest <<<"$version"
if ! [[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || [ "$major" -gt 255 ] ||
   [ "$minor" -gt 255 ] || [ "$build" -gt 65535 ]; then
  fail "version '$version' is not MAJOR.MINOR.BUILD with MAJOR, MINOR <= 255 and BUILD <= 65535"
fi

if [ -n "${TOLVANE_EXE:-}" ]; then
  exe=$TOLVANE_EXE
else
  exe=$source/build/windows/tolvane.exe
  if [ ! -f "$source/build/windows/CMakeCache.txt" ]; then
    cmake --preset windows >/dev/null || fail "cmake --preset windows failed"
  fi
  cmake --build --preset windows --target tolvane || fail "building tolvane.exe (preset windows) failed"
fi
[ -f "$exe" ] || fail "no tolvane.exe at $exe"

out=${TOLVANE_PACKAGE_DIR:-$source/build/windows/package}
mkdir -p "$out" || fail "cannot make the package directory $out"
name=tolvane-$version-x64
stage=$(mktemp -d "$out/.stage-XXXXXX") || fail "cannot make a staging directory in $out"
trap 'rm -rf "$stage"' EXIT

# Text files an administrator opens in Notepad get CRLF line ends; the
# README is UTF-8 with a byte order mark, so that every Notepad reads its
# accented letters right. The sample report stays as the host writes it.
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }
cp "$exe" "$stage/tolvane.exe"
crlf "$source/examples/tolvane.ini" >"$stage/tolvane.ini"
crlf "$source/packaging/windows/system.ini" >"$stage/system.ini"
{ printf '\xef\xbb\xbf'; crlf "$source/README.md"; } >"$stage/README.txt"
cp "$source/examples/sample-report.txt" "$source/examples/logo.bmp" "$stage/"

# wixl takes the files' paths relative to the current directory only.
msi=$stage/$name.msi
(cd "$stage" && wixl -a x64 -D Version="$version" -D SourceDir=. -o "$msi" \
   "$source/packaging/windows/tolvane.wxs") || fail "wixl could not build $name.msi"

# What wixl cannot say. The configuration's component: never overwritten
# (0x80) and never removed (0x10), besides 64-bit (0x100). The upgrade row:
# the same version counts as older (0x200), so that a rebuilt package
# replaces the installed one instead of adding a second entry.
# column TABLE KEY N: field N of the row whose first field is KEY.
column() {
  msiinfo export "$msi" "$1" | tr -d '\r' | awk -F '\t' -v key="$2" -v n="$3" '$1 == key { print $n }'
}
upgrade_code=$(column Property UpgradeCode 2)
[ -n "$upgrade_code" ] || fail "$name.msi has no UpgradeCode"
msibuild "$msi" \
  -q "UPDATE Component SET Attributes = 400 WHERE Component = 'Configuration'" \
  -q "UPDATE Component SET Attributes = 400 WHERE Component = 'PrinterProfile'" \
  -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'" \
  -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty)
      VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')" ||
  fail "msibuild could not mark tolvane.ini as kept in $name.msi"
[ "$(column Component Configuration 4)" = 400 ] && [ "$(column Component PrinterProfile 4)" = 400 ] ||
  fail "tolvane.ini and system.ini are not marked as kept in $name.msi"
[ "$(column Upgrade "$upgrade_code" 5 | sort -n | tail -1)" = 513 ] ||
  fail "the upgrade of the same version is not marked in $name.msi"

python3 - "$stage/$name.zip" "$stage" <<'EOF' || fail "could not write $name.zip"
import sys, zipfile
archive, stage = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    for file in ("tolvane.exe", "tolvane.ini", "system.ini", "README.txt", "sample-report.txt", "logo.bmp"):
        z.write(f"{stage}/{file}", file)
EOF

mv "$msi" "$stage/$name.zip" "$out/" || fail "cannot write the packages into $out"
echo "$out/$name.msi"
echo "$out/$name.zip"
