#!/usr/bin/env bash
# tolvane.exe under Wine against the Linux build's tolvane: the same jobs,
# each run as a host runs it (the program copied beside its tolvane.ini, the
# print file in the same directory), on the TRACE printer of the same
# geometry. Exit codes must match, and the traces byte for byte.
#   e2e_traces.sh TOLVANE.EXE LINUX-TOLVANE SOURCE-DIR WORK-DIR
# WINEPREFIX names the Wine prefix to use. Exit code 77: no Linux program to
# compare with.
set -euo pipefail

exe=$1 linux=$2 source=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
run_wine() { "$here/wine-run.sh" "$@"; }

if [ ! -x "$linux" ]; then
  echo "SKIP: no Linux build of tolvane at $linux to compare with"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work"

# The system printer profile: on Linux a file; on Windows the printer
# entries are the registry's (win.ini maps [windows] and [Devices] there)
# and the TRACE printer's geometry is a section of win.ini itself.
geometry='horzsize=203
horzres=2400
vertsize=287
vertres=3390'
printf '[windows]\ndevice=Trace,TRACE,job.trace\n[Devices]\nTrace=TRACE,job.trace\nOutput=TRACE,-\n' \
  >"$work/system.ini"
printf '[Trace]\n%s\n[Output]\n%s\n' "$geometry" "$geometry" >>"$work/system.ini"

run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
  /v Trace /d 'TRACE,job.trace' /f >/dev/null
run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Devices' \
  /v Output /d 'TRACE,-' /f >/dev/null
run_wine reg add 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' \
  /v Device /d 'Trace,TRACE,job.trace' /f >/dev/null
timeout 60 wineserver -w || true
win_ini="$WINEPREFIX/drive_c/windows/win.ini"
# Any [Trace] section of an earlier run goes; ours is appended.
{
  [ -f "$win_ini" ] && awk '/^\[/ { skip = ($0 == "[Trace]" || $0 == "[Output]") } !skip' "$win_ini"
  printf '[Trace]\n%s\n[Output]\n%s\n' "$geometry" "$geometry"
} >"$win_ini.new"
mv "$win_ini.new" "$win_ini"

passed=0 failed=0 runs=0

# run_case NAME ARGUMENTS...: the files of the job are in $work/NAME.job;
# both programs run in a copy of it.
run_case() {
  local name=$1
  shift
  runs=$((runs + 1))
  local job="$work/$name.job" lin="$work/$runs-$name.linux" win="$work/$runs-$name.windows"
  cp -r "$job" "$lin"
  cp -r "$job" "$win"
  cp "$linux" "$lin/tolvane"
  cp "$exe" "$win/tolvane.exe"
  local lin_status=0 win_status=0
  (cd "$lin" && env -u DISPLAY -u WAYLAND_DISPLAY TOLVANE_SYSTEM_PROFILE="$work/system.ini" \
     LC_ALL=C.UTF-8 timeout 60 ./tolvane "$@" >stdout.txt 2>stderr.txt) || lin_status=$?
  (cd "$win" && run_wine ./tolvane.exe "$@" >stdout.txt 2>stderr.txt) || win_status=$?
  local problem=""
  [ "$lin_status" = "$win_status" ] || problem="exit code $win_status, Linux $lin_status"
  cmp -s "$lin/stdout.txt" "$win/stdout.txt" || problem="${problem:+$problem; }standard output differs"
  if [ -f "$lin/job.trace" ] && [ -f "$win/job.trace" ]; then
    cmp -s "$lin/job.trace" "$win/job.trace" || problem="${problem:+$problem; }traces differ"
  elif [ -f "$lin/job.trace" ] || [ -f "$win/job.trace" ]; then
    problem="${problem:+$problem; }only one program wrote a trace"
  fi
  if [ -z "$problem" ]; then
    passed=$((passed + 1))
    local lines=0
    [ -f "$lin/job.trace" ] && lines=$(wc -l <"$lin/job.trace")
    echo "ok: $name (exit $lin_status, $lines trace lines)"
  else
    failed=$((failed + 1))
    echo "FAILED: $name: $problem"
    cmp -s "$lin/stdout.txt" "$win/stdout.txt" || problem="${problem:+$problem; }standard output differs"
  if [ -f "$lin/job.trace" ] && [ -f "$win/job.trace" ]; then
      diff "$lin/job.trace" "$win/job.trace" | head -20 || true
    fi
  fi
}

# new_job NAME INI [FILE CONTENT]...: a job directory with its tolvane.ini
# and files; contents are printf formats.
new_job() {
  local dir="$work/$1.job"
  mkdir -p "$dir"
  printf "$2" >"$dir/tolvane.ini"
  shift 2
  while [ $# -ge 2 ]; do
    printf "$2" >"$dir/$1"
    shift 2
  done
}

example='[preferences]\nfont=Courier New\nleftmargin=10\nuppermargin=5\n'

new_job one-line "$example" report.txt 'A'
run_case one-line report.txt 1

new_job grid "$example" report.txt 'AB\nCD\n\tE\nABCDE\tF\n'
run_case grid report.txt 1

new_job rotated "$example[sequences]\nV=VERT:1\n" report.txt '\033VAB\nCD\n\tE\n'
run_case rotated report.txt 1

hundred=$(for i in $(seq 100); do printf 'x\\n'; done)
new_job sheet-break '[preferences]\nuppermargin=10\n' report.txt "$hundred"
run_case sheet-break report.txt 1 1
run_case sheet-break report.txt 2 2

new_job page-ranges "$example" report.txt 'one\ftwo\fthree\nthree\f\ffive'
run_case page-ranges report.txt 2 3
run_case page-ranges report.txt abc 5
run_case page-ranges report.txt 4

# Line ends, Ctrl-Z and bytes above 127 through the conversion table: the
# print file must be read as bytes.
new_job bytes "$example[conversion]\n130=233\n9=65\n65=-1\n" report.txt \
  'A\tB\r\nC\rD\r\n\202\377\200\n\032 after the end\nnot printed\n'
run_case bytes report.txt 1

# Fractions of the cell and line sizes go through the extended-precision
# converters; a bold, rotated and upright mix.
new_job sizes "$example[sequences]\nF=FSIZ:36.75,24.5\nL=LINH:41,5\nB=BOLD:1\nR=VERT:1\nU=VERT:0\nE=FELM:\nM=BALM:\n" \
  report.txt '\033F\033L:;x\033By\n\033F:12.125;z\033E:7;\033M:3;w\n\033R\n\033L:33.3333;\033Bq\n\033Ur\n'
run_case sizes report.txt 1

new_job blanks "$example" 'my report.txt' 'in quotes\n'
run_case blanks 'my report.txt' 1

# A trace on standard output has the same bytes as one in a file, and so
# has the answer to --version.
new_job output "${example}printer=Output\n" report.txt 'AB\n\tC\n'
run_case output report.txt 1
run_case output --version

# Failures: a malformed conversion value, a malformed page, a missing print
# file, a missing logo and a logo whose coordinates fail.
new_job bad-conversion "$example[conversion]\n66=1-2\n" report.txt 'B\n'
run_case bad-conversion report.txt 1
new_job bad-page "$example" report.txt 'A\n'
run_case bad-page report.txt -
run_case bad-page missing.txt 1
run_case bad-page report.txt
new_job logos "$example[sequences]\nG=BITM:logo.bmp\nM=BITM:missing.bmp,1,2,3,4\n" \
  report.txt 'a\033G:100,150,500,300;b\n\033M\033G:1,1-2;c\n\033G:100;\n'
cp "$source/examples/logo.bmp" "$work/logos.job/"
run_case logos report.txt 1

# The sample report as shipped, with its logo.
mkdir -p "$work/sample.job"
cp "$source/examples/tolvane.ini" "$source/examples/logo.bmp" "$source/examples/sample-report.txt" \
  "$work/sample.job/"
run_case sample sample-report.txt 1
run_case sample sample-report.txt 2 3

# A program directory with blanks and a letter of the ANSI code page: the
# configuration beside the program is still found. (The system's profile
# calls take paths of at most MAX_PATH characters, so it must not lie deeper.)
program_dir="Program Files/Tolvane Nyomtat\xc3\xb3"
new_job program-dir "" report.txt 'A'
mkdir -p "$work/program-dir.job/$(printf "$program_dir")"
printf "$example" >"$work/program-dir.job/$(printf "$program_dir")/tolvane.ini"
lin_status=0 win_status=0
(cd "$work/program-dir.job" && dir=$(printf "$program_dir") && cp "$linux" "$dir/tolvane" &&
   env -u DISPLAY TOLVANE_SYSTEM_PROFILE="$work/system.ini" timeout 60 "$dir/tolvane" report.txt 1 &&
   mv job.trace linux.trace) || lin_status=$?
(cd "$work/program-dir.job" && dir=$(printf "$program_dir") && cp "$exe" "$dir/tolvane.exe" &&
   run_wine "$dir/tolvane.exe" report.txt 1 && mv job.trace windows.trace) || win_status=$?
if [ "$lin_status$win_status" = 00 ] &&
   cmp -s "$work/program-dir.job/linux.trace" "$work/program-dir.job/windows.trace" &&
   grep -q 'face="Courier New"' "$work/program-dir.job/windows.trace"; then
  passed=$((passed + 1))
  echo "ok: program directory with blanks and an accented letter"
else
  failed=$((failed + 1))
  echo "FAILED: program directory with blanks and an accented letter (exit $win_status, Linux $lin_status)"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
