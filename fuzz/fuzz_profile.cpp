// The profile reader, as the job and the printer layer ask it: the input is
//   SECTION<tab>KEY           one line, a question of its own
//   the INI file              read both as a private profile and as the
//                             system printer profile
// The answers are checked against what every caller relies on.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/device.h"
#include "fuzz_scratch.h"
#include "os/win32.h"

namespace {

struct TQuestion {
  std::string Section;
  std::string Key;
};

// An answer always ends inside the buffer and says its own length.
void CheckAnswer(const char* buffer, tolvane::DWORD size, tolvane::DWORD length) {
  if (size == 0) return;
  if (length >= size || std::strlen(buffer) != length) {
    std::fprintf(stderr, "an answer of %u characters in a buffer of %u\n", length, size);
    std::abort();
  }
}

void AskPrivate(const TQuestion& question, const char* path) {
  static const tolvane::DWORD Sizes[] = {1, 2, 32, 111, 4096};
  for (tolvane::DWORD size : Sizes) {
    std::string buffer(size, '\x55');
    tolvane::DWORD length = tolvane::GetPrivateProfileStringA(
        question.Section.c_str(), question.Key.c_str(), "default", buffer.data(), size, path);
    CheckAnswer(buffer.data(), size, length);
  }
  tolvane::GetPrivateProfileIntA(question.Section.c_str(), question.Key.c_str(), -7, path);
}

void AskSystem(const TQuestion& question) {
  char buffer[111];
  tolvane::DWORD length = tolvane::GetProfileStringA(question.Section.c_str(), question.Key.c_str(),
                                                     ",,,", buffer, sizeof buffer);
  CheckAnswer(buffer, sizeof buffer, length);
}

// A geometry is what the job divides by and multiplies with: it must stay
// inside the bounds that the printer layer promises.
void CheckGeometry(const std::string& device) {
  tolvane::TPrinterGeometry geometry = tolvane::ReadPrinterGeometry(device);
  if (geometry.HorzSize < 0 || geometry.VertSize < 0 || geometry.HorzRes < 0 ||
      geometry.VertRes < 0 || geometry.DpiX <= 0 || geometry.DpiY <= 0) {
    std::fprintf(stderr, "geometry of %s: %d x %d mm, %d x %d pixels at %d x %d dpi\n",
                 device.c_str(), geometry.HorzSize, geometry.VertSize, geometry.HorzRes,
                 geometry.VertRes, geometry.DpiX, geometry.DpiY);
    std::abort();
  }
}

TQuestion QuestionOf(std::string_view line) {
  size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return {std::string(line), std::string()};
  return {std::string(line.substr(0, tab)), std::string(line.substr(tab + 1))};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  EnterScratch(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TInputHead head = CutFirstLine(std::string_view(reinterpret_cast<const char*>(data), size));
  TQuestion own = QuestionOf(head.Line);
  WriteScratchProfile("system.ini", head.Rest);
  std::string path = ScratchDir() + "/system.ini";
  const TQuestion questions[] = {
      own,
      {"preferences", "font"},
      {"preferences", "leftmargin"},
      {"conversion", "65"},
      {"sequences", "C"},
      {"windows", "device"},
      {"Devices", own.Key},
  };
  for (const TQuestion& question : questions) {
    AskPrivate(question, path.c_str());
    AskSystem(question);
  }
  CheckGeometry(own.Section);
  CheckGeometry("Trace");
  ResetJob();
  return 0;
}
