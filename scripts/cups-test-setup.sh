#!/usr/bin/env bash
# Gets a CUPS scheduler ready for the CUPS tests, as root: installs the
# scheduler and the PDF printer backend when missing, starts cupsd when it is
# not running (directly: CI has no service manager), and adds the queue
# TolvaneTest, whose jobs end up as PDF files in one known directory.
#
#   bash scripts/cups-test-setup.sh          set up (again); harmless to repeat
#   bash scripts/cups-test-setup.sh --remove delete the queue and its files
#
# The tests look for the same queue name and directory; without them they
# skip.
set -euo pipefail

queue=TolvaneTest
output=/var/spool/cups-pdf/$queue
# cups-pdf reads cups-pdf-NAME.conf for a device URI cups-pdf:/NAME, so the
# test queue has settings of its own and the machine's cups-pdf.conf stays
# as it is.
instance_conf=/etc/cups/cups-pdf-$queue.conf
log=/var/log/cups/error_log

if [ "$(id -u)" -ne 0 ]; then
  echo "cups-test-setup: must run as root (the CUPS tests skip without the queue)" >&2
  exit 1
fi

if [ "${1:-}" = "--remove" ]; then
  lpadmin -x "$queue" 2>/dev/null || true
  rm -f "$instance_conf"
  rm -rf "$output"
  exit 0
fi

packages=(cups printer-driver-cups-pdf poppler-utils)
# The package scripts try to reach a scheduler that may not run yet; what
# they fail to do is done below.
bash "$(dirname "$0")/install-missing.sh" cups-test-setup "${packages[@]}"

scheduler_runs() { LC_ALL=C lpstat -r 2>/dev/null | grep -q "scheduler is running"; }

if ! scheduler_runs; then
  echo "cups-test-setup: starting cupsd"
  mkdir -p /run/cups
  # cupsd puts itself in the background once it listens.
  cupsd
  for _ in $(seq 1 100); do
    scheduler_runs && break
    sleep 0.1
  done
  if ! scheduler_runs; then
    echo "cups-test-setup: cupsd did not start; the end of $log:" >&2
    tail -n 20 "$log" >&2 2>/dev/null || true
    exit 1
  fi
fi

mkdir -p "$output"
chmod 0755 "$output"
# Label 2: every file name ends in -job_ID.pdf, so the tests tell the jobs
# apart. (cups-pdf reads comments in this file badly, so it has none.)
cat >"$instance_conf" <<EOF
Out $output
AnonDirName $output
Label 2
UserUMask 0022
AnonUMask 0022
EOF

# lpadmin warns on every queue with a driver that drivers are deprecated;
# only what else it says is shown, and only when it fails.
admin() {
  local said
  if ! said=$(lpadmin "$@" 2>&1); then
    grep -v -i deprecated <<<"$said" >&2
    echo "cups-test-setup: lpadmin $* failed" >&2
    exit 1
  fi
}

# The model name under which the scheduler lists the driver's PPD; older
# setups know only the file.
model=$(lpinfo -m 2>/dev/null | awk '/CUPS-PDF_opt\.ppd/ { print $1; exit }')
if [ -n "$model" ]; then
  admin -p "$queue" -E -v "cups-pdf:/$queue" -m "$model"
else
  ppd=$(dpkg -L printer-driver-cups-pdf | grep -m1 'CUPS-PDF_opt\.ppd$' || true)
  [ -n "$ppd" ] || { echo "cups-test-setup: the cups-pdf PPD is missing" >&2; exit 1; }
  admin -p "$queue" -E -v "cups-pdf:/$queue" -P "$ppd"
fi
# The queue turns PDF into PostScript for cups-pdf; poppler's converter keeps
# the text of the fonts, so the tests can read it back from the PDF that comes
# out (Ghostscript's turns it into outlines).
admin -p "$queue" -o pdftops-renderer-default=pdftops
# The tests expect the queue's paper and resolution: A4 without margins (the
# driver prints the whole sheet) at 300 dpi.
admin -p "$queue" -o PageSize=A4 -o Resolution=300dpi
# A job left over from an earlier run would hold the queue.
cancel -a "$queue" 2>/dev/null || true
cupsenable "$queue"
cupsaccept "$queue"

echo "cups-test-setup: queue $queue ready, PDFs in $output"
