# The print server under load: 20 clients, each under its own user name,
# send 10 reports each at once to a queue that prints them with the filter;
# the scheduler is stopped and started again while most of them wait. Every
# report must arrive once, whole, its sheets in order, and no job may be left
# in the queue.

load_clients=20
load_reports=10

# Report R of client C has 1 + (C + 2R) % 4 pages; every line of a page names
# the report and the page, so that a sheet lost, doubled, swapped or taken
# from another report shows.
load_pages() { echo $((1 + ($1 + 2 * $2) % 4)); }

load_page_text() {
  local c=$1 r=$2 p=$3 n=$4 line
  printf 'Client %d report %d page %d of %d\r\n' "$c" "$r" "$p" "$n"
  for line in 1 2 3 4 5 6 7 8; do
    printf 'Report %d.%d, page %d, line %d\r\n' "$c" "$r" "$p" "$line"
  done
}

# The report's file, and beside it the text that pdftotext must find in its
# PDF (its spaces squeezed): the lines of each page ended by |, a form feed
# after each page.
write_load_report() {
  local c=$1 r=$2 n p
  n=$(load_pages "$c" "$r")
  for p in $(seq 1 "$n"); do
    [ "$p" -gt 1 ] && printf '\f'
    load_page_text "$c" "$r" "$p" "$n"
  done >"$work/load/report-$c-$r.txt"
  for p in $(seq 1 "$n"); do
    load_page_text "$c" "$r" "$p" "$n" | tr -d '\r' | tr '\n' '|'
    printf '\f'
  done >"$work/load/report-$c-$r.expected"
}

# One client: its reports one after the other, as user clientC; the job
# numbers go to a file of its own.
load_client() {
  local c=$1 r said
  for r in $(seq 1 "$load_reports"); do
    said=$(lp -U "client$c" -d TolvaneServerPdf -o document-format=application/vnd.tolvane-report \
      -t "report-$c-$r" "$work/load/report-$c-$r.txt") || return 1
    sed -n 's/^request id is .*-\([0-9]*\) .*/\1/p' <<<"$said" >>"$work/load/jobs-$c"
  done
}

# The jobs of the queue that are not yet completed, canceled or aborted.
waiting_jobs() { lpstat -o "$1" 2>/dev/null | wc -l; }

# Every job that the queue ended, as "ID STATE" (completed, canceled, aborted).
ended_jobs() {
  local queue=$1
  cat >"$work/get-jobs.test" <<TEST
{
  OPERATION Get-Jobs
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri \$uri
  ATTR keyword which-jobs completed
  ATTR keyword requested-attributes job-id,job-state
  ATTR name requesting-user-name root
  DISPLAY job-id
  DISPLAY job-state
}
TEST
  ipptool -c "ipp://127.0.0.1:$port/printers/$queue" "$work/get-jobs.test" 2>/dev/null |
    tail -n +2 | tr ',' ' '
}

# Waits until the queue has no job that is not ended; a job left held or
# stopped fails the test with the state of what is left.
wait_for_load() {
  local limit=$1 started=$SECONDS
  while [ $((SECONDS - started)) -lt "$limit" ]; do
    [ "$(waiting_jobs TolvaneServerPdf)" -eq 0 ] && return 0
    sleep 0.5
  done
  lpstat -l -o >&2 || true
  fail "jobs were left in the queue after $limit s"
}

# Every job of the clients completed.
check_load_jobs() {
  local total=$1 ours completed
  ours=$(cat "$work/load/jobs-"* | sort)
  [ "$(wc -l <<<"$ours")" -eq "$total" ] || fail "the clients got $(wc -l <<<"$ours") job numbers"
  completed=$(ended_jobs TolvaneServerPdf | awk '$2 == "completed" {print $1}' | sort)
  local missing
  missing=$(comm -23 <(echo "$ours") <(echo "$completed") | tr '\n' ' ')
  [ -z "$missing" ] || fail "jobs not completed: $missing"
}

# Every PDF holds one whole report in order, and every report came out once.
check_load_output() {
  local pdf text name seen=()
  for pdf in "$work/pdf/TolvaneServerPdf/"*.pdf; do
    [ -f "$pdf" ] || fail "no PDF came out"
    text=$(pdftotext -layout "$pdf" - | tr -s ' \n' ' |')
    name=$(grep -o -m1 '^Client [0-9]* report [0-9]*' <<<"$text" | awk '{print $2 "-" $4}' || true)
    [ -n "$name" ] || fail "$(basename "$pdf") holds no report's first page: ${text:0:80}"
    [ "$text" = "$(cat "$work/load/report-$name.expected")" ] ||
      fail "$(basename "$pdf") is not report $name whole and in order: $(tr '\f' '/' <<<"$text" | cut -c1-300)"
    seen+=("$name")
  done
  local twice
  twice=$(printf '%s\n' "${seen[@]}" | sort | uniq -d | tr '\n' ' ')
  [ -z "$twice" ] || fail "reports printed more than once: $twice"
  [ "${#seen[@]}" -eq $((load_clients * load_reports)) ] ||
    fail "${#seen[@]} reports came out, not $((load_clients * load_reports))"
}

# The clients' names are no local users: cups-pdf writes their PDFs as its
# anonymous user (and says nothing when it cannot).
open_load_output() {
  rm -f "$work/pdf/TolvaneServerPdf/"*.pdf
  chmod 1777 "$work/pdf/TolvaneServerPdf"
}

print_under_load() {
  local total=$((load_clients * load_reports))
  step "$total reports from $load_clients clients at once, the scheduler restarted"
  mkdir -p "$work/load"
  open_load_output
  local c r pages=0
  for c in $(seq 1 "$load_clients"); do
    for r in $(seq 1 "$load_reports"); do
      write_load_report "$c" "$r"
      pages=$((pages + $(load_pages "$c" "$r")))
    done
  done
  local started=$EPOCHREALTIME clients=() pid
  for c in $(seq 1 "$load_clients"); do
    load_client "$c" &
    clients+=($!)
  done
  for pid in "${clients[@]}"; do wait "$pid" || fail "one client's lp failed"; done
  # Restarted once the first reports came out, so that some jobs are cut off
  # while they print and the most wait.
  for _ in $(seq 1 300); do
    [ "$(ls "$work/pdf/TolvaneServerPdf" | wc -l)" -ge 10 ] && break
    sleep 0.1
  done
  local waiting
  waiting=$(waiting_jobs TolvaneServerPdf)
  stop_scheduler
  run_scheduler
  wait_for_load 300
  local seconds
  seconds=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN {printf "%.1f", b - a}')
  check_load_jobs "$total"
  check_load_output
  # The scheduler stopped some filters with SIGTERM; they leave no files.
  [ -z "$(ls "$work/cups/spool/tmp" | grep '^tolvanetopdf-')" ] ||
    fail "the filter left files in the scheduler's directory: $(ls "$work/cups/spool/tmp")"
  rm -f "$work/pdf/TolvaneServerPdf/"*.pdf
  ok "every report once, whole and in order, the queue empty ($waiting jobs waited across the restart)"
  echo "   load test: $total jobs, $pages pages in $seconds s," \
    "$(awk -v p="$pages" -v s="$seconds" 'BEGIN {printf "%.1f", p / s}') pages/s"
}
