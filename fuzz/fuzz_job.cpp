// The whole job on the trace device, as a host starts it: the input is
//   FIRST [LAST]              the page arguments, one line
//   @@@@ tolvane.ini          beside the program
//   @@@@ report.txt           the print file
//   @@@@ logo.bmp             optional, for BITM commands that name it
// with each "@@@@" a line of its own. Every printer name the configuration
// may give ends on the trace device or on no printer at all.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_scratch.h"
#include "job/job.h"

namespace {

const char SystemProfile[] =
    "[windows]\ndevice=Trace,TRACE,job.trace\n"
    "[Devices]\nTrace=TRACE,job.trace\nPDF=TRACE,job.trace\nSmall=TRACE,job.trace\n"
    "[Small]\npaper=20x30\nresolution=100\nmargins=1,2,3,4\n";

std::vector<std::string> PageArguments(std::string_view line) {
  std::vector<std::string> arguments{"report.txt"};
  size_t at = 0;
  while (at < line.size() && arguments.size() < 4) {
    size_t end = line.find(' ', at);
    if (end == std::string_view::npos) end = line.size();
    if (end > at) arguments.emplace_back(line.substr(at, end - at));
    at = end + 1;
  }
  return arguments;
}

std::string TraceTail() {
  std::string_view trace = LastTrace();
  return std::string(trace.substr(trace.size() > 63 ? trace.size() - 63 : 0));
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A printed job ends its document and a failed one never does: a job must
// never report an aborted document as printed, nor a printed one as failed.
void CheckOutcome(int code) {
  if (code != 0 && code != 1 && code != 2) {
    std::fprintf(stderr, "unexpected exit code %d\n", code);
    std::abort();
  }
  std::string tail = TraceTail();
  if (tail.empty()) return;
  bool ended = EndsWith(tail, "\nEndDoc\nDeleteDC\n");
  if ((code == 0 && !ended) || (code == 1 && ended) || code == 2) {
    std::fprintf(stderr, "exit code %d with a trace that ends:\n%s\n", code, tail.c_str());
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  EnterScratch(argc, argv, "system.ini", SystemProfile);
  KeepTracesInMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string_view> sections = SplitSections(data, size);
  TInputHead head = CutFirstLine(sections[0]);
  WriteScratchProfile("tolvane.ini", head.Rest);
  WriteScratchFile("report.txt", sections.size() > 1 ? sections[1] : std::string_view());
  if (sections.size() > 2)
    WriteScratchFile("logo.bmp", sections[2]);
  else
    std::remove("logo.bmp");
  ResetJob();
  CheckOutcome(tolvane::TolvaneMain(PageArguments(head.Line)));
  ResetJob();
  return 0;
}
