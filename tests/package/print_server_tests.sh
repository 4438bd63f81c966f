# The print server: the installed filter under a real scheduler (the tests'
# own), reached over IPP with lp, and cupsfilter without a scheduler.
# Queues: TolvaneServerPdf writes PDFs through cups-pdf; TolvaneServer is a
# Tolvane queue made by tolvane-setup-queue, which sends to TolvaneServerPdf;
# TolvaneServerFile, another, keeps what the filter gave in a file.

make_server_queues() {
  step "queues"
  make_pdf_queue TolvaneServerPdf
  tolvane-setup-queue TolvaneServer "ipp://127.0.0.1:$port/printers/TolvaneServerPdf" >/dev/null ||
    fail "tolvane-setup-queue TolvaneServer"
  tolvane-setup-queue TolvaneServerFile "file://$work/filter-output.pdf" >/dev/null ||
    fail "tolvane-setup-queue TolvaneServerFile"
  # Relative logo paths are taken from the configuration's directory.
  cp /usr/share/doc/tolvane/logo.bmp "$config_logo"
  ok "TolvaneServerPdf (cups-pdf), TolvaneServer and TolvaneServerFile (tolvane-setup-queue)"
}

# The one PDF that the queues made since the last call.
single_output() {
  local files=("$work/pdf/TolvaneServerPdf/"*.pdf)
  [ ${#files[@]} -eq 1 ] && [ -f "${files[0]}" ] || fail "expected one PDF, found: ${files[*]}"
  mv "${files[0]}" "$work/$1.pdf"
  echo "$work/$1.pdf"
}

expect_state() {
  local job=$1 queue=$2 state=$3 actual
  actual=$(job_state "$job" "$queue")
  [ "${actual%%,*}" = "$state" ] || fail "job $job of $queue is $actual, not $state"
}

pages_of() { pdfinfo "$1" | awk '/^Pages:/ {print $2}'; }

# Prints on the Tolvane queue; the one PDF that arrives behind it, kept as
# NAME.pdf.
print_on_server() {
  local name=$1 job
  shift
  job=$(submit -d TolvaneServer "$@")
  wait_for_queue TolvaneServer
  wait_for_queue TolvaneServerPdf
  expect_state "$job" TolvaneServer completed
  single_output "$name"
}

print_chosen_report_type() {
  step "a report by its MIME type on a cups-pdf queue"
  local job pdf
  job=$(submit -d TolvaneServerPdf -o document-format=application/vnd.tolvane-report \
    "$sample/sample-report.txt")
  wait_for_queue TolvaneServerPdf
  expect_state "$job" TolvaneServerPdf completed
  grep -q "\[Job $job\] Started filter /usr/lib/cups/filter/tolvanetopdf" "$scheduler_log" ||
    fail "job $job did not go through tolvanetopdf"
  pdf=$(single_output chosen)
  [ "$(pages_of "$pdf")" = 3 ] || fail "the report came out as $(pages_of "$pdf") sheets, not 3"
  check_against_trace "$pdf" "$sample/sample.trace" "lp -o document-format=application/vnd.tolvane-report"
}

print_through_tolvane_queue() {
  step "a report on the Tolvane queue, its type left to the scheduler"
  local pdf
  pdf=$(print_on_server queue "$sample/sample-report.txt")
  check_against_trace "$pdf" "$sample/sample.trace" "lp -d TolvaneServer, on to TolvaneServerPdf"
}

print_page_range() {
  step "page-ranges"
  local pdf
  pdf=$(print_on_server range -o page-ranges=2-3 "$sample/sample-report.txt")
  [ "$(pages_of "$pdf")" = 2 ] || fail "pages 2 to 3 came out as $(pages_of "$pdf") sheets"
  check_against_trace "$pdf" "$sample/pages-2-3.trace" "lp -o page-ranges=2-3"
}

# Copies are made once, however many queues the job passes.
print_copies() {
  step "copies"
  local pdf
  pdf=$(print_on_server copies -n 2 "$sample/sample-report.txt")
  [ "$(pages_of "$pdf")" = 6 ] || fail "two copies came out as $(pages_of "$pdf") sheets, not 6"
  ok "lp -n 2: two copies of three sheets"
}

stop_malformed_job() {
  step "a malformed job"
  printf 'Fine\r\n\x1bH:1-2;broken\r\n' >"$work/malformed.txt"
  local job
  job=$(submit -d TolvaneServer "$work/malformed.txt")
  # The scheduler stops a job whose filter fails (there is no abort for it);
  # it stays until it is cancelled or restarted.
  wait_for_job "$job" TolvaneServer
  [ "$(job_state "$job" TolvaneServer)" = "processing-stopped,job-completed-with-errors" ] ||
    fail "job $job is $(job_state "$job" TolvaneServer), not stopped with errors"
  cancel "$job"
  expect_state "$job" TolvaneServer canceled
  # (The log writes the quotes of the message as \'.)
  grep -q "^E .*\[Job $job\] .*1-2.* is not a valid floating point value" "$scheduler_log" ||
    fail "the reason is not in the scheduler's log as an error"
  sleep 1
  [ -z "$(ls -A "$work/pdf/TolvaneServerPdf")" ] || fail "the stopped job printed something"
  LC_ALL=C lpstat -p TolvaneServer | grep -q "enabled" || fail "the queue stopped after the failure"
  ok "stopped with errors, the reason in the log, nothing printed, the queue goes on"
}

# Job K has 1 + K % 3 pages, each saying whose page it is.
print_many_jobs_at_once() {
  step "20 jobs at once"
  local k p pid
  for k in $(seq 1 20); do
    for p in $(seq 1 $((1 + k % 3))); do
      [ "$p" -gt 1 ] && printf '\f'
      printf 'Job %d page %d\r\n' "$k" "$p"
    done >"$work/job-$k.txt"
  done
  local submitters=()
  for k in $(seq 1 20); do
    lp -d TolvaneServerPdf -o document-format=application/vnd.tolvane-report -t "job-$k" \
      "$work/job-$k.txt" >/dev/null &
    submitters+=($!)
  done
  for pid in "${submitters[@]}"; do wait "$pid" || fail "lp of one of the 20 jobs failed"; done
  wait_for_queue TolvaneServerPdf
  local seen=() pdf text
  for pdf in "$work/pdf/TolvaneServerPdf/"*.pdf; do
    text=$(pdftotext -layout "$pdf" - | tr -s ' \f' ' ')
    k=$(grep -o 'Job [0-9]*' <<<"$text" | head -n 1 | cut -d' ' -f2)
    [ -n "$k" ] || fail "$pdf holds no job's page"
    [ "$(pages_of "$pdf")" = $((1 + k % 3)) ] || fail "job $k came out as $(pages_of "$pdf") sheets"
    for p in $(seq 1 $((1 + k % 3))); do
      [ "$(pdftotext -f "$p" -l "$p" "$pdf" - | tr -d '\f' | xargs)" = "Job $k page $p" ] ||
        fail "sheet $p of job $k: $(pdftotext -f "$p" -l "$p" "$pdf" -)"
    done
    seen+=("$k")
  done
  [ "$(printf '%s\n' "${seen[@]}" | sort -n | uniq | tr '\n' ' ')" = "$(seq 1 20 | tr '\n' ' ')" ] ||
    fail "jobs came out as: ${seen[*]}"
  rm -f "$work/pdf/TolvaneServerPdf/"*.pdf
  ok "20 jobs, each with its own pages"
}

# The same conversion without a scheduler gives what the filter gave under
# the scheduler for the same PPD: the same sheets, the same words in the same
# places.
print_with_cupsfilter() {
  step "cupsfilter"
  local job
  job=$(submit -d TolvaneServerFile "$sample/sample-report.txt")
  wait_for_job "$job" TolvaneServerFile
  expect_state "$job" TolvaneServerFile completed
  cupsfilter -p /usr/share/ppd/tolvane/tolvane.ppd -i application/vnd.tolvane-report \
    -m application/vnd.cups-pdf "$sample/sample-report.txt" >"$work/cupsfilter.pdf" \
    2>"$work/cupsfilter.log" || { cat "$work/cupsfilter.log" >&2; fail "cupsfilter"; }
  pdftotext -bbox "$work/cupsfilter.pdf" "$work/cupsfilter.html"
  pdftotext -bbox "$work/filter-output.pdf" "$work/scheduler.html"
  python3 "$here/same_words.py" "$work/cupsfilter.html" "$work/scheduler.html" >"$work/same.txt" ||
    { cat "$work/same.txt" >&2; fail "cupsfilter's PDF and the scheduler's differ"; }
  ok "cupsfilter gives the scheduler's PDF: $(tail -n 1 "$work/same.txt")"
  # Asked for plain PDF, the same sheets with their text, not a raster image.
  cupsfilter -i application/vnd.tolvane-report -m application/pdf "$sample/sample-report.txt" \
    >"$work/plain.pdf" 2>"$work/plain.log" || { cat "$work/plain.log" >&2; fail "cupsfilter -m application/pdf"; }
  grep -q "gstoraster\|rastertopdf\|pwgtopdf" "$work/plain.log" && fail "cupsfilter -m application/pdf went through raster"
  [ "$(pages_of "$work/plain.pdf")" = "$(pages_of "$work/filter-output.pdf")" ] ||
    fail "cupsfilter -m application/pdf: $(pages_of "$work/plain.pdf") pages, the scheduler's $(pages_of "$work/filter-output.pdf")"
  # Its words are the report's (the paper may differ from the queue's, so
  # the places are not compared).
  pdftotext "$work/plain.pdf" - | tr -s ' \n' ' ' >"$work/plain.txt"
  grep -q "TOLVANE MINTA" "$work/plain.txt" ||
    fail "cupsfilter -m application/pdf: pdftotext reads no text of the report from it"
  ok "cupsfilter -m application/pdf gives the sheets with their text ($(wc -w <"$work/plain.txt") words)"
}

remove_server_queues() {
  lpadmin -x TolvaneServer
  lpadmin -x TolvaneServerPdf
  lpadmin -x TolvaneServerFile
  rm -f "$config_logo"
  ok "queues deleted"
}
