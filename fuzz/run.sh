#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a while.
#   fuzz/run.sh [SECONDS] [TARGET...]      targets: job profile logo readers font
# Each target runs SECONDS (default 15). New inputs collect in
# build/fuzz/corpus/TARGET (the committed seeds in fuzz/corpus/TARGET are
# only read), crash files go to build/fuzz/findings/, the fuzzer's own output
# to build/fuzz/TARGET.log. FUZZ_FLAGS adds libFuzzer flags, for example
# FUZZ_FLAGS="-runs=10000000". Exits non-zero when a target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-15}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(job profile logo readers font)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/findings

# A target must write nothing but its scratch directory, and remove that.
untracked() { git status --porcelain --untracked-files=all -- . ':!build' 2>/dev/null || true; }
# The targets write their inputs and outputs (and sync them) there for every
# execution: in memory (tmpfs) that costs no disk.
scratch_parent="${TMPDIR:-/tmp}"
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_parent=/dev/shm
scratch_root="$(mktemp -d -p "$scratch_parent")"
trap 'rm -rf "$scratch_root"' EXIT

status=0
for target in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$target"
  log="build/fuzz/$target.log"
  before="$(untracked)"
  echo "== fuzz $target: $seconds s"
  # Warnings of failed jobs would flood standard error; libFuzzer and the
  # sanitizers keep writing their reports there all the same.
  # shellcheck disable=SC2086
  if ! TMPDIR="$scratch_root" "build/fuzz/fuzz/tolvane_fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -close_fd_mask=2 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/findings/$target-" ${FUZZ_FLAGS:-} \
      "build/fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    status=1
    echo "FAILED: fuzz $target found something; see $log and build/fuzz/findings/"
    grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" | head -20 || true
  fi
  if [ -n "$(ls -A "$scratch_root")" ] || [ "$(untracked)" != "$before" ]; then
    status=1
    echo "FAILED: fuzz $target left files behind:" "$scratch_root"/* "$(untracked)"
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|Done [0-9]+ runs" "$log" || true
done
exit "$status"
