# The Debian package: built, checked, installed, used from PATH, removed.

build_and_check_package() {
  step "the package"
  rm -f "$build"/tolvane_*.deb
  (cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack"; }
  deb=$(ls "$build"/tolvane_*_*.deb)
  ok "built $(basename "$deb")"
  lintian --fail-on error --no-cfg "$deb" >"$work/lintian.txt" 2>&1 ||
    { cat "$work/lintian.txt" >&2; fail "lintian found errors"; }
  ok "lintian: no errors ($(grep -c '^[WI]:' "$work/lintian.txt" || true) warnings and notes)"
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libc6 libcairo2 libcups2 libfontconfig1 libfreetype6; do
    grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
  done
  ok "shared-library dependencies: $depends"
  dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles >"$work/conffiles"
  diff <(sort "$work/conffiles") <(printf '/etc/tolvane/system.ini\n/etc/tolvane/tolvane.ini\n') ||
    fail "the conffiles are not the two files of /etc/tolvane"
  dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
  for file in ./usr/share/man/man1/tolvane.1.gz ./usr/share/man/man5/tolvane.ini.5.gz \
              ./usr/share/man/man8/tolvane-setup-queue.8.gz ./usr/lib/cups/filter/tolvanetopdf \
              ./usr/share/cups/mime/tolvane.types ./usr/share/cups/mime/tolvane.convs \
              ./usr/share/ppd/tolvane/tolvane.ppd ./usr/share/doc/tolvane/sample-report.txt \
              ./usr/share/doc/tolvane/logo.bmp; do
    grep -qx "$file" "$work/contents" || fail "the package lacks $file"
  done
  ok "conffiles, manual pages, CUPS files and the sample in the package"
}

install_package() {
  step "installing"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get install $deb"; }
  installed_by_test=1
  [ "$(command -v tolvane)" = /usr/bin/tolvane ] || fail "tolvane is not /usr/bin/tolvane on PATH"
  [ "$(readlink -f /usr/bin/tolvane)" = /usr/lib/tolvane/tolvane ] || fail "/usr/bin/tolvane link"
  [ "$(readlink -f /usr/lib/tolvane/tolvane.ini)" = /etc/tolvane/tolvane.ini ] ||
    fail "/usr/lib/tolvane/tolvane.ini does not lead to /etc/tolvane/tolvane.ini"
  [ "$(readlink -f /usr/lib/cups/filter/tolvanetopdf)" = /usr/lib/tolvane/tolvane ] ||
    fail "the CUPS filter is not the program"
  ok "installed: /usr/bin/tolvane, /etc/tolvane/tolvane.ini, the filter tolvanetopdf"
}

# The sample report as the package's README shows it, on a PDF printer and on
# Trace printers of the same geometry as the filter's (A4, 600 dpi, no
# margins); the print-server tests compare their PDFs with these traces.
sample_printer() {
  local name=$1 driver=$2 output=$3
  printf '[windows]\ndevice=%s,%s,%s\n[%s]\npaper=A4\nresolution=600\n' \
    "$name" "$driver" "$output" "$name" >"$sample/$name.ini"
}

sample_job() {
  local printer=$1
  shift
  (cd "$sample" && TOLVANE_SYSTEM_PROFILE=$sample/$printer.ini tolvane "$@") ||
    fail "tolvane $* on $printer ended with $?"
}

print_from_path() {
  step "tolvane from PATH"
  sample=$work/sample
  mkdir -p "$sample"
  cp /usr/share/doc/tolvane/sample-report.txt /usr/share/doc/tolvane/logo.bmp "$sample/"
  sample_printer Pdf PDF sample.pdf
  sample_printer Trace TRACE sample.trace
  sample_printer Pages TRACE pages-2-3.trace
  sample_job Pdf sample-report.txt 1
  [ "$(pdfinfo "$sample/sample.pdf" | awk '/^Pages:/ {print $2}')" = 3 ] ||
    fail "the sample report is not three sheets"
  ok "tolvane sample-report.txt 1: three sheets in sample.pdf"
  sample_job Trace sample-report.txt 1
  sample_job Pages sample-report.txt 2 3
  grep -q '^StretchDIBits' "$sample/sample.trace" || fail "the logo was not drawn from the current directory"
  ok "traces of the whole report and of pages 2 to 3"
}

# Debian's container images may keep manual pages out (dpkg path-exclude);
# there the pages are checked in the package and man -w is not asked.
find_manual_pages() {
  step "manual pages"
  if grep -hqs '^path-exclude=*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
    echo "   NOTE: dpkg leaves /usr/share/man out on this machine; the pages were found in the package"
    return 0
  fi
  [ "$(man -w tolvane)" = /usr/share/man/man1/tolvane.1.gz ] || fail "man -w tolvane: $(man -w tolvane 2>&1)"
  [ "$(man -w 5 tolvane.ini)" = /usr/share/man/man5/tolvane.ini.5.gz ] || fail "man -w 5 tolvane.ini"
  [ "$(man -w tolvane-setup-queue)" = /usr/share/man/man8/tolvane-setup-queue.8.gz ] ||
    fail "man -w tolvane-setup-queue"
  LC_ALL=C.UTF-8 MANWIDTH=80 man tolvane 2>"$work/man.err" | grep -q "EXIT STATUS" ||
    fail "man tolvane does not show the page"
  [ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "man tolvane complains"; }
  ok "man -w tolvane: $(man -w tolvane)"
}

# Removing keeps the configuration, as Debian keeps conffiles; purging takes
# it away.
remove_package() {
  step "removing"
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tolvane >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get remove tolvane"; }
  [ ! -e /usr/lib/tolvane/tolvane ] && [ ! -e /usr/bin/tolvane ] || fail "the program is left after removal"
  [ ! -e /usr/lib/cups/filter/tolvanetopdf ] || fail "the filter is left after removal"
  [ -f /etc/tolvane/tolvane.ini ] && [ -f /etc/tolvane/system.ini ] ||
    fail "removal took the configuration (a conffile) away"
  dpkg-query -W -f='${Status}' tolvane | grep -q "config-files" || fail "not in the config-files state"
  ok "removed; /etc/tolvane kept"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tolvane >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get purge tolvane"; }
  installed_by_test=0
  [ ! -e /etc/tolvane ] || fail "purging left /etc/tolvane: $(ls -A /etc/tolvane)"
  ok "purged; /etc/tolvane gone"
}
