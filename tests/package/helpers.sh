# Shared by the package and print-server tests: reporting, the private
# scheduler, waiting for jobs, and cleaning up whatever a test left.
# Expects $work, $build, $source_dir and $here.

passed=0
step() { echo "== $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
ok() { passed=$((passed + 1)); echo "   ok: $*"; }

# What the tests change outside $work, so that clean_up can undo it.
scheduler_pid=""
scheduler_log=""
instance_confs=()
installed_by_test=0
config_logo=/etc/tolvane/logo.bmp

clean_up() {
  local status=$?
  if [ "$status" -ne 0 ] && [ -n "${scheduler_log:-}" ] && [ -f "$scheduler_log" ]; then
    echo "-- the private scheduler's log, its errors and job lines at the end:" >&2
    grep -E '^[EW] |\[Job [0-9]+\] (Started|PID|Job|job-state)' "$scheduler_log" | tail -n 40 >&2
  fi
  stop_scheduler
  for conf in "${instance_confs[@]}"; do rm -f "$conf"; done
  rm -f "$config_logo"
  if [ "$installed_by_test" -eq 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tolvane >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
  [ "$status" -eq 0 ] || echo "test-package: FAILED (passed $passed checks before)" >&2
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# A scheduler of the tests' own: its own configuration, spool, log and port,
# the machine's filters, backends and MIME files (the package's included).
start_scheduler() {
  step "a private CUPS scheduler"
  local root=$work/cups
  mkdir -p "$root/spool/tmp" "$root/cache" "$root/state" "$root/log"
  port=$(free_port)
  cat >"$root/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel debug
MaxLogSize 0
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow localhost
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cat >"$root/cups-files.conf" <<CONF
ServerRoot $root
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
SystemGroup root
User lp
Group lp
Sandboxing Relaxed
FileDevice Yes
CONF
  export CUPS_SERVER=127.0.0.1:$port
  scheduler_log=$root/log/error_log
  run_scheduler
  ok "cupsd on port $port (pid $scheduler_pid)"
}

# The private scheduler, on its configuration of before, its queues and the
# jobs it kept.
run_scheduler() {
  local root=$work/cups
  cupsd -f -c "$root/cupsd.conf" -s "$root/cups-files.conf" &
  scheduler_pid=$!
  for _ in $(seq 1 100); do
    LC_ALL=C lpstat -r 2>/dev/null | grep -q "scheduler is running" && break
    sleep 0.1
  done
  LC_ALL=C lpstat -r | grep -q "scheduler is running" || fail "the private cupsd did not start"
}

stop_scheduler() {
  [ -n "$scheduler_pid" ] || return 0
  kill "$scheduler_pid" 2>/dev/null || true
  wait "$scheduler_pid" 2>/dev/null || true
  scheduler_pid=""
}

# lpadmin warns about every PPD that drivers are deprecated; the rest of
# what it says is shown when it fails.
admin() {
  local said
  said=$(lpadmin "$@" 2>&1) || { grep -v -i deprecated <<<"$said" >&2; fail "lpadmin $*"; }
}

# A queue on the cups-pdf backend, whose PDFs land in $work/pdf/QUEUE with the
# job's number in their names.
make_pdf_queue() {
  local queue=$1 output=$work/pdf/$1
  local conf=/etc/cups/cups-pdf-$queue.conf
  mkdir -p "$output"
  instance_confs+=("$conf")
  printf 'Out %s\nAnonDirName %s\nLabel 2\nUserUMask 0022\nAnonUMask 0022\n' \
    "$output" "$output" >"$conf"
  local ppd
  ppd=$(dpkg -L printer-driver-cups-pdf | grep -m1 'CUPS-PDF_opt\.ppd$')
  admin -p "$queue" -E -v "cups-pdf:/$queue" -P "$ppd"
  admin -p "$queue" -o pdftops-renderer-default=pdftops -o PageSize=A4
}

# The job's number from what lp says.
submit() {
  local said
  said=$(lp "$@") || fail "lp $*"
  sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p' <<<"$said"
}

# The job's state and reasons, as "completed,job-completed-successfully".
job_state() {
  local job=$1 queue=$2
  cat >"$work/get-job.test" <<TEST
{
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR integer job-id $job
  ATTR name requesting-user-name root
  DISPLAY job-state
  DISPLAY job-state-reasons
}
TEST
  ipptool -c "ipp://127.0.0.1:$port/printers/$queue" "$work/get-job.test" 2>/dev/null | tail -n 1
}

# Waits until the job is neither pending nor processing.
wait_for_job() {
  local job=$1 queue=$2
  for _ in $(seq 1 600); do
    case $(job_state "$job" "$queue") in
      pending* | processing,*) sleep 0.2 ;;
      *) return 0 ;;
    esac
  done
  fail "job $job of $queue did not end within two minutes"
}

# Waits until the queue has no pending or processing job.
wait_for_queue() {
  local queue=$1
  for _ in $(seq 1 600); do
    [ -z "$(lpstat -o "$queue" 2>/dev/null)" ] && return 0
    sleep 0.2
  done
  fail "the jobs of $queue did not finish within two minutes"
}

# The PDF that cups-pdf wrote for the job of the queue.
output_of() {
  local queue=$1 job=$2
  ls "$work/pdf/$queue/"*"-job_$job.pdf" 2>/dev/null | head -n 1
}

# A PDF compared with the trace of the same job: every word where its
# characters were drawn, the logo inside its rectangle.
check_against_trace() {
  local pdf=$1 trace=$2 what=$3
  pdftotext -bbox "$pdf" "$work/words.html"
  pdftoppm -r 30 -f 1 -l 1 -singlefile "$pdf" "$work/page1"
  python3 "$source_dir/tests/windows/check_print.py" "$trace" "$work/words.html" \
    "$work/page1.ppm" 600 0 0 >"$work/check.txt" || { cat "$work/check.txt" >&2; fail "$what"; }
  ok "$what: $(tail -n 1 "$work/check.txt")"
}
