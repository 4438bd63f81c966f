#!/usr/bin/env bash
# The installer under Wine's msiexec, silently, as an administrator runs it:
# the files in Program Files\Tolvane and the entry under installed programs;
# the installed program printing the installed sample report on a TRACE
# printer; an edited tolvane.ini kept through an upgrade, a reinstall of the
# same version, a refused downgrade, the uninstall and a new install; a
# chosen folder that later upgrades keep.
#   installer.sh TOLVANE.EXE SOURCE-DIR WORK-DIR
# WINEPREFIX names the Wine prefix to use. Exit code 77: no wixl, and it
# cannot be installed.
set -euo pipefail

exe=$1 source=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
run_wine() { "$here/wine-run.sh" "$@"; }

if ! command -v wixl >/dev/null || ! command -v msibuild >/dev/null; then
  # Installed only where that asks no password: as root, or sudo without one.
  if ! { [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; } ||
     ! bash "$source/scripts/install-missing.sh" installer wixl msitools; then
    echo "SKIP: wixl and msitools are missing and cannot be installed"
    exit 77
  fi
fi

rm -rf "$work"
mkdir -p "$work"
failed=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

# The older package has the program as built; the newer one, a copy marked
# at its end (bytes after the image do not change a Windows program), so
# that the upgraded file can be told apart.
old=$(sed -n 's/^project(tolvane VERSION \([^ )]*\).*/\1/p' "$source/CMakeLists.txt")
IFS=. read -r major minor build <<<"$old"
new=$major.$minor.$((build + 1))
cp "$exe" "$work/new.exe"
printf 'newer package' >>"$work/new.exe"
package() { # package VERSION EXE DIR
  TOLVANE_MSI_VERSION=$1 TOLVANE_EXE=$2 TOLVANE_PACKAGE_DIR=$3 \
    bash "$source/scripts/package-windows.sh" >/dev/null
}
package "$old" "$exe" "$work/old"
package "$new" "$work/new.exe" "$work/new"
package "$new" "$work/new.exe" "$work/rebuilt"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
old_msi=$(windows_path "$work/old/tolvane-$old-x64.msi")
new_msi=$(windows_path "$work/new/tolvane-$new-x64.msi")
rebuilt_msi=$(windows_path "$work/rebuilt/tolvane-$new-x64.msi")
msiexec() { run_wine msiexec "$@" /qn >/dev/null 2>&1; }

# The TRACE printer as the default printer, writing to C:\job.trace.
run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
  /v Trace /d 'TRACE,C:\job.trace' /f >/dev/null
run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' \
  /v Device /d 'Trace,TRACE,C:\job.trace' /f >/dev/null
timeout 60 wineserver -w || true
win_ini="$WINEPREFIX/drive_c/windows/win.ini"
{
  [ -f "$win_ini" ] && awk '/^\[/ { skip = ($0 == "[Trace]") } !skip' "$win_ini"
  printf '[Trace]\nhorzsize=203\nhorzres=2400\nvertsize=287\nvertres=3390\n'
} >"$win_ini.new"
mv "$win_ini.new" "$win_ini"

drive=$WINEPREFIX/drive_c
installed=$drive/Program\ Files/Tolvane
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The values of the installed programs' entries named Tolvane, one
# "NAME=VALUE" a line, an empty line between entries.
entries() {
  run_wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY/ { if (ours) print block; block = "Key=" $0 "\n"; ours = 0; next }
    NF >= 3 { value = $0; sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, "", value); block = block $1 "=" value "\n"
              if ($1 == "DisplayName" && value == "Tolvane") ours = 1 }
    END { if (ours) print block }'
}
entry_count() { entries | grep -c '^DisplayName=' || true; }
has_entry() { entries | grep -qxF "$1"; }
files_in() { # files_in DIR FILE...: every file is there
  local dir=$1 file
  shift
  for file in "$@"; do [ -f "$dir/$file" ] || return 1; done
}
none_in() {
  local dir=$1 file
  shift
  for file in "$@"; do [ ! -e "$dir/$file" ] || return 1; done
}
# prints DIR: the installed program prints the sample report from its own
# folder (where the sample's logo is found), exit code 0 and a trace.
prints() {
  rm -f "$drive/job.trace"
  (cd "$1" && run_wine ./tolvane.exe sample-report.txt 1 >/dev/null 2>&1) &&
    grep -q '^TextOutA ' "$drive/job.trace" && grep -q '^StretchDIBits ' "$drive/job.trace"
}
# What an earlier run left in this prefix goes first: a product still
# installed, a kept tolvane.ini.
for product in $(entries | sed -n 's/^Key=.*\\//p'); do msiexec /x "$product" || true; done
rm -rf "$installed" "$drive/Tolvane Test"

all_files=(tolvane.exe tolvane.ini system.ini README.txt sample-report.txt logo.bmp)
program_files=(tolvane.exe README.txt sample-report.txt logo.bmp)

msiexec /i "$old_msi"
check "install: the files are in Program Files\\Tolvane" files_in "$installed" "${all_files[@]}"
check "install: one entry under installed programs" [ "$(entry_count)" = 1 ]
check "install: the entry names version $old and its publisher" \
  eval 'has_entry "DisplayVersion=$old" && has_entry "Publisher=Tolvane maintainers"'
check "install: the entry names the folder" has_entry 'InstallLocation=C:\Program Files\Tolvane\'
check "install: README.txt has Windows line ends" grep -q $'\r$' "$installed/README.txt"
check "the installed program prints the installed sample report" prints "$installed"

# The administrator's edit: another printer and a comment of their own.
sed -i 's/^printer=.*\r$/printer=Trace\r/' "$installed/tolvane.ini"
printf '; edited by the administrator\r\n' >>"$installed/tolvane.ini"
cp "$installed/tolvane.ini" "$work/edited.ini"

msiexec /i "$new_msi"
check "upgrade: the edited tolvane.ini is kept" cmp -s "$work/edited.ini" "$installed/tolvane.ini"
check "upgrade: tolvane.exe is the newer one" cmp -s "$work/new.exe" "$installed/tolvane.exe"
check "upgrade: one entry, of version $new" eval '[ "$(entry_count)" = 1 ] && has_entry "DisplayVersion=$new"'
check "upgrade: the program prints with the edited tolvane.ini" prints "$installed"

msiexec /i "$rebuilt_msi"
check "the same version rebuilt replaces the installed one: one entry" [ "$(entry_count)" = 1 ]
check "the same version rebuilt keeps the edited tolvane.ini" \
  cmp -s "$work/edited.ini" "$installed/tolvane.ini"

check "a downgrade is refused" eval '! msiexec /i "$old_msi"'
check "a refused downgrade leaves version $new installed" \
  eval 'has_entry "DisplayVersion=$new" && cmp -s "$work/new.exe" "$installed/tolvane.exe"'

msiexec /x "$rebuilt_msi"
check "uninstall: the program's files are gone" none_in "$installed" "${program_files[@]}"
check "uninstall: the edited tolvane.ini is kept" cmp -s "$work/edited.ini" "$installed/tolvane.ini"
check "uninstall: no entry under installed programs" [ "$(entry_count)" = 0 ]

msiexec /i "$old_msi"
check "a new install does not overwrite the kept tolvane.ini" \
  cmp -s "$work/edited.ini" "$installed/tolvane.ini"
msiexec /x "$old_msi"

chosen=$drive/Tolvane\ Test/Here
msiexec /i "$old_msi" 'INSTALLDIR=C:\Tolvane Test\Here'
check "INSTALLDIR: the files are in the chosen folder" files_in "$chosen" "${all_files[@]}"
check "INSTALLDIR: the entry names the chosen folder" has_entry 'InstallLocation=C:\Tolvane Test\Here\'
check "INSTALLDIR: nothing new in Program Files" none_in "$installed" "${program_files[@]}"
msiexec /i "$new_msi"
check "an upgrade without INSTALLDIR stays in the chosen folder" \
  eval 'cmp -s "$work/new.exe" "$chosen/tolvane.exe" && none_in "$installed" tolvane.exe'
msiexec /x "$new_msi"
check "uninstall from the chosen folder" \
  eval 'none_in "$chosen" "${program_files[@]}" && [ "$(entry_count)" = 0 ]'

[ "$failed" -eq 0 ] && echo "all passed" || echo "$failed failed"
[ "$failed" -eq 0 ]
