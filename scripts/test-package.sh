#!/usr/bin/env bash
# The package and the print server, as root on Debian (CI): builds the .deb,
# checks it with lintian, installs it, prints the sample report from PATH,
# finds the manual pages, then starts a CUPS scheduler of its own with
# Tolvane queues and prints through them over IPP, 200 reports at once across
# a restart of the scheduler among them; at the end it removes the
# package and stops its scheduler. The machine's own scheduler and its queues
# are left alone.
#
#   bash scripts/test-package.sh      after the release build (scripts/test.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=$source_dir/build/release
here=$source_dir/tests/package

if [ "$(id -u)" -ne 0 ] || [ ! -f /etc/debian_version ]; then
  echo "NOTE: the package and print-server tests were not run: they need root on Debian" \
       "to install the package."
  exit 0
fi

packages=(lintian dpkg-dev man-db file cups cups-client cups-filters printer-driver-cups-pdf
          poppler-utils python3)
bash scripts/install-missing.sh test-package "${packages[@]}"

if dpkg-query -W -f='${Status}' tolvane 2>/dev/null | grep -q "ok installed"; then
  echo "test-package: the package tolvane is installed already; the test installs and" \
       "removes its own, so remove it first (apt-get purge tolvane)" >&2
  exit 1
fi

work=$(mktemp -d /tmp/tolvane-package.XXXXXX)
chmod 0755 "$work"
source "$here/helpers.sh"
source "$here/package_tests.sh"
source "$here/print_server_tests.sh"
source "$here/load_tests.sh"
trap clean_up EXIT
trap "exit 1" INT TERM

build_and_check_package
install_package
print_from_path
find_manual_pages
start_scheduler
make_server_queues
print_chosen_report_type
print_through_tolvane_queue
print_page_range
print_copies
stop_malformed_job
print_many_jobs_at_once
print_under_load
print_with_cupsfilter
remove_server_queues
stop_scheduler
remove_package
echo "test-package: all passed"
