// The number and command readers: the input is one line of a print file.
// Its escape sequences run through a configuration that gives every command
// a letter; the line as a whole is also read as a number and cut into
// fields, and each answer is checked against what its callers rely on.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.h"
#include "stream/escape.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace {

const char Configuration[] =
    "[sequences]\n"
    "C=BOLD:0\nB=BOLD:1\nN=BOLD:7\nF=FSIZ:36,24\nH=FSIZ:48\nX=FSIZ:\nP=LINH:50\n"
    "R=VERT:1\nU=VERT:0\nM=FELM:\nL=BALM:\nG=BITM:logo.bmp\nZ=NOPE:1\n";

[[noreturn]] void Wrong(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

// The device of the worked examples, without a context: drawing calls are
// refused, so only the readers and the job's state are exercised.
void UseExampleDevice() {
  UsePrintableArea(2400, 203, 3390, 287);
  tolvane::ConfigPath = ScratchDir() + "/tolvane.ini";
}

// An integer that reads at all reads as its leading run of signs and
// digits says, within 32 bits.
void CheckInteger(std::string_view text) {
  int32_t value = 0;
  try {
    value = tolvane::FieldToInt(text);
  } catch (const tolvane::TJobFailure&) {
    return;
  }
  size_t length = text.find_first_not_of("+-0123456789");
  std::string_view run = text.substr(0, length);
  if (run.empty()) {
    if (value != 0) Wrong("no number read as " + std::to_string(value));
    return;
  }
  if (run[0] == '+') run.remove_prefix(1);
  int64_t expected = 0;
  auto [end, error] = std::from_chars(run.data(), run.data() + run.size(), expected);
  if (error != std::errc() || end != run.data() + run.size() || expected != value)
    Wrong("'" + std::string(run) + "' read as " + std::to_string(value));
}

void CheckFloat(std::string_view text) {
  try {
    if (!std::isfinite(tolvane::FieldToFloat(text))) Wrong("a fraction read as infinite");
  } catch (const tolvane::TJobFailure&) {
  }
}

// The fields, joined again by their delimiter, are the text; once they are
// all taken the last one comes again.
void CheckFields(std::string_view text) {
  if (text.empty()) return;
  std::string joined = tolvane::NextField(text, ',');
  size_t fields = std::count(text.begin(), text.end(), ',');
  for (size_t i = 0; i < fields; i++) joined += "," + tolvane::NextField("", ',');
  std::string last(tolvane::FieldRemainder());
  if (joined != text) Wrong("the fields do not make up the text");
  if (tolvane::NextField("", ',') != last) Wrong("the last field did not come again");
}

// Every sequence takes at least its ESC and never more than the line has.
void RunSequences(std::string_view line) {
  size_t at = 0;
  while (at < line.size()) {
    if (line[at] != '\x1b') {
      at++;
      continue;
    }
    size_t taken = tolvane::ExpandSequence(line.data() + at, line.size() - at);
    if (taken < 1 || taken > line.size() - at) Wrong("a sequence took " + std::to_string(taken));
    at += taken;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  EnterScratch(argc, argv, "tolvane.ini", Configuration);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  ResetJob();
  UseExampleDevice();
  CheckInteger(line);
  CheckFloat(line);
  CheckFields(line);
  try {
    RunSequences(line);
  } catch (const tolvane::TJobFailure&) {
    // A malformed number fails the job; the readers are checked up to there.
  }
  ResetJob();
  return 0;
}
