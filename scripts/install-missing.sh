#!/usr/bin/env bash
# Installs the Debian packages of a list that are not installed yet; the
# scripts that need packages share it.
#   install-missing.sh WHO PACKAGE...
# WHO names the caller in the one line said before installing. apt-get's
# output is kept in a log and shown only when it fails.
set -euo pipefail
who=$1
shift

missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
log=$(mktemp /tmp/tolvane-apt-XXXXXX.log)
echo "$who: installing ${missing[*]}"
if ! { $sudo apt-get update -qq &&
       DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
         "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
rm -f "$log"
