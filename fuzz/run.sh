#!/usr/bin/env bash
# Builds the fuzz targets and runs each for a while.
#   fuzz/run.sh [SECONDS] [TARGET...]      targets: job profile logo readers font commit lines
# Each target runs SECONDS (default 15). New inputs collect in
# build/fuzz/corpus/TARGET (the committed seeds in fuzz/corpus/TARGET are
# only read), crash files go to build/fuzz/findings/, the fuzzer's own output
# to build/fuzz/TARGET.log. FUZZ_FLAGS adds libFuzzer flags, for example
# FUZZ_FLAGS="-runs=10000000". FUZZ_PARALLEL=1 runs the targets side by
# side, one process each. Each target's rate and what it projects for 8
# hours close its summary. Exits non-zero when a target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-15}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(job profile logo readers font commit lines)

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

# One target's run; its summary goes to standard output. Each target has a
# scratch root of its own, so that targets may run side by side.
run_target() {
  local target="$1" log="build/fuzz/$1.log" root="$scratch_root/$1" before result=0 own=""
  # The lines target prints each input twice; pieces of at most 64 bytes
  # cut a kilobyte into enough of them, and shorter inputs run faster.
  [ "$target" = lines ] && own="-max_len=1024"
  mkdir -p "build/fuzz/corpus/$target" "$root"
  before="$(untracked)"
  echo "== fuzz $target: $seconds s"
  # Warnings of failed jobs would flood standard error; libFuzzer and the
  # sanitizers keep writing their reports there all the same.
  # shellcheck disable=SC2086
  if ! TMPDIR="$root" "build/fuzz/fuzz/tolvane_fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -close_fd_mask=2 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/findings/$target-" $own ${FUZZ_FLAGS:-} \
      "build/fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
    result=1
    echo "FAILED: fuzz $target found something; see $log and build/fuzz/findings/"
    grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" | head -20 || true
  fi
  if [ -n "$(ls -A "$root")" ] || [ "$(untracked)" != "$before" ]; then
    result=1
    echo "FAILED: fuzz $target left files behind:" "$root"/* "$(untracked)"
  fi
  grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|Done [0-9]+ runs" "$log" || true
  awk -v t="$target" '/^Done [0-9]+ runs in [0-9]+ second/ && $5 > 0 {
      printf "%s: %d executions a second, %.0f in 8 hours\n", t, $2 / $5, $2 / $5 * 28800 }' "$log"
  return "$result"
}

status=0
if [ "${FUZZ_PARALLEL:-0}" = 1 ]; then
  # One process per target at once, for a machine with a core for each.
  pids=()
  for target in "${targets[@]}"; do
    run_target "$target" >"build/fuzz/$target.summary" 2>&1 &
    pids+=("$!")
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  for target in "${targets[@]}"; do cat "build/fuzz/$target.summary"; done
else
  for target in "${targets[@]}"; do run_target "$target" || status=1; done
fi
exit "$status"
