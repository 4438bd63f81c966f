#!/usr/bin/env bash
# Kills a 600-sheet SVG job during its commit, again and again, and checks
# that the next job in the folder (a PDF job) leaves all the older sheets or
# all the new, and no hidden file. Run by hand (it is slow):
#
#   bash bench/kill_commit.sh                  # 20 rounds, release build
#   ROUNDS=50 BUILD=build/debug bash bench/kill_commit.sh
#
# Half the rounds stop the job at a random step of its commit through the
# fault shim (so that the kill lands between two renames), the other half
# kill it after a random time (mostly while it draws).
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${ROUNDS:-20}
build=${BUILD:-build/release}
sheets=${SHEETS:-600}
shim=$build/tests/libtolvane_fault_shim.so
[ -x "$build/tolvane" ] && [ -f "$shim" ] || { echo "build $build first" >&2; exit 2; }
shim=$(realpath "$shim")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/tolvane" "$work/"
printf '[windows]\ndevice=Sheets,SVG,sheet-%%d.svg\n[Devices]\nSheets=SVG,sheet-%%d.svg\nPdf=PDF,out.pdf\n[Sheets]\npaper=A5\n' >"$work/system.ini"
export TOLVANE_SYSTEM_PROFILE="$work/system.ini" XDG_CACHE_HOME="$work/.cache"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
: >"$work/report.txt"
for ((page = 1; page <= sheets; page++)); do printf 'page %d\f' "$page" >>"$work/report.txt"; done
cd "$work"

old_sheets() { for ((s = 1; s <= sheets; s++)); do printf 'old %d' "$s" >"sheet-$s.svg"; done; }

# "old", "new" or how many of each.
sheet_set() {
  local old=0 new=0
  for ((s = 1; s <= sheets; s++)); do
    if [ "$(head -c 16 "sheet-$s.svg" 2>/dev/null)" = "old $s" ]; then old=$((old + 1));
    elif grep -q '<svg' "sheet-$s.svg" 2>/dev/null; then new=$((new + 1)); fi
  done
  if [ $old = $sheets ]; then echo old; elif [ $new = $sheets ]; then echo new; else echo "$old old, $new new"; fi
}

failures=0
for ((round = 1; round <= rounds; round++)); do
  old_sheets
  printf '' >tolvane.ini
  if ((round % 2)); then
    step=$((RANDOM % (sheets + 2) + 1))
    how="stopped at step $step"
    TOLVANE_FAULT_STOP_AT_STEP=$step LD_PRELOAD="$shim" ./tolvane report.txt 1 2>/dev/null &
    job=$!
    while ! grep -q '^State:.*T' "/proc/$job/status" 2>/dev/null; do
      kill -0 $job 2>/dev/null || break
      sleep 0.01
    done
  else
    delay=$(awk -v r=$RANDOM 'BEGIN { printf "%.2f", r % 400 / 100 }')
    how="killed after ${delay}s"
    ./tolvane report.txt 1 2>/dev/null &
    job=$!
    sleep "$delay"
  fi
  kill -9 $job 2>/dev/null || true
  wait $job 2>/dev/null || true
  printf '[preferences]\nprinter=Pdf\n' >tolvane.ini
  said=$(./tolvane report.txt 1 2>&1 >/dev/null | tr '\n' ' ')
  set_now=$(sheet_set)
  hidden=$(ls -A | grep -c -e '\.tolvane\.' -e '^\.tolvane-commit\.' || true)
  verdict=ok
  if [[ $set_now != old && $set_now != new ]] || [ "$hidden" != 0 ]; then verdict=FAIL; failures=$((failures + 1)); fi
  echo "round $round ($how): $set_now, $hidden hidden: $verdict ${said:0:160}"
done
echo "$failures of $rounds rounds failed"
[ $failures = 0 ]
