#include "job/job_log.h"

#include <cstdlib>
#include <ctime>

#include "ini_scan.h"
#include "job/job.h"
#include "job/progress.h"
#include "os/win32.h"
#include "render/page.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

const int32_t NoLastPage = 0x7FFF;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromEpoch(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int64_t SecondsOf(const std::tm& time) {
  return DaysFromEpoch(time.tm_year + 1900, time.tm_mon + 1, time.tm_mday) * 86400 +
         time.tm_hour * 3600 + time.tm_min * 60 + time.tm_sec;
}

std::string TwoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

// Local time with its offset from universal time: 2026-12-09T14:03:27+01:00.
std::string LocalTimeText(int64_t when) {
  std::tm local{}, universal{};
  if (!LocalAndUniversalTime(static_cast<std::time_t>(when), local, universal))
    return "(no time)";
  int64_t offset = (SecondsOf(local) - SecondsOf(universal)) / 60;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  return std::to_string(local.tm_year + 1900) + "-" + TwoDigits(local.tm_mon + 1) + "-" +
         TwoDigits(local.tm_mday) + "T" + TwoDigits(local.tm_hour) + ":" +
         TwoDigits(local.tm_min) + ":" + TwoDigits(local.tm_sec) + sign +
         TwoDigits(static_cast<int>(offset / 60)) + ":" + TwoDigits(static_cast<int>(offset % 60));
}

// A value in double quotes; a quote or control byte inside could make the
// line read as two fields or two lines, so it is masked.
std::string Quoted(const std::string& value) {
  std::string text = "\"";
  for (char c : value) {
    unsigned char byte = static_cast<unsigned char>(c);
    text += byte < 0x20 || byte == 0x7F || c == '"' ? '?' : c;
  }
  return text + "\"";
}

// The range as the host asked for it; the job reads it leniently.
std::string RangeText(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) return "none";
  std::string last = arguments.size() > 2 ? arguments[2] : std::to_string(NoLastPage);
  return Quoted(arguments[1] + " to " + last);
}

std::string Reason(int exitCode) {
  std::string reason;
  for (const std::string& note : RunNotes()) reason += (reason.empty() ? "" : "; ") + note;
  if (reason.empty() && exitCode != ExitPrinted) reason = ExitCodeMeaning(exitCode);
  return reason;
}

}  // namespace

std::string JobLogPath(std::string& why) {
  const char* named = std::getenv("TOLVANE_LOG");
  if (named != nullptr && named[0] != '\0') {
    if (SameIniName(named, "off")) {
      why = "TOLVANE_LOG=off";
      return std::string();
    }
    return named;
  }
  std::string path = DefaultJobLogPath();
  if (path.empty()) why = "no place for it: neither of " + DefaultJobLogPlaces() + " is set";
  return path;
}

std::string JobLogLine(const std::vector<std::string>& arguments, int exitCode, int64_t when) {
  const TPrintState& state = PrintState;
  bool printerChosen = state.PrinterDevice[0] != 0 || !state.PrinterDriver.empty();
  // An aborted document printed nothing, whatever it had drawn.
  int64_t sheets = exitCode == ExitPrinted ? SheetsBegun : 0;
  std::string line = LocalTimeText(when);
  line += " file=" + Quoted(arguments.empty() || arguments[0].empty()
                                ? std::string()
                                : FullPathName(arguments[0]));
  line += " pages=" + RangeText(arguments);
  line += " printer=" + (printerChosen ? Quoted(state.PrinterDevice) : std::string("none"));
  if (printerChosen)
    line += " driver=" + Quoted(state.PrinterDriver) + " output=" + Quoted(JobOutput());
  line += " sheets=" + std::to_string(sheets) + " exit=" + std::to_string(exitCode);
  std::string reason = Reason(exitCode);
  if (!reason.empty()) line += " reason=" + Quoted(reason);
  return line;
}

void LogJob(const std::vector<std::string>& arguments, int exitCode) {
  std::string why;
  std::string path = JobLogPath(why);
  std::string line = JobLogLine(arguments, exitCode, static_cast<int64_t>(std::time(nullptr)));
  ForgetRunNotes();
  if (path.empty()) return;
  if (!CreateDirectoriesFor(path, why) ||
      !AppendJobLogLine(path, line, JobLogRotateSize, why))
    Diagnose("the job log " + path + " was not written (" + why +
             "); TOLVANE_LOG names another file, TOLVANE_LOG=off turns it off");
}

}  // namespace tolvane
