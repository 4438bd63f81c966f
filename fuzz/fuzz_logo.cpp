// The logo path from the BITM command through the file, its checks and the
// decoder to painting on the cairo surface of a small PNG printer: the input
// is
//   x,y,width,height          the command's arguments, one line
//   the logo file             as the command finds it
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.h"
#include "stream/commands.h"
#include "tolvane_state.h"

namespace {

// A small sheet keeps the painting cheap; the margins move the printable
// area off the sheet's corner, as a real printer's do.
const char SystemProfile[] =
    "[Devices]\nLogo=PNG,logo.png\n"
    "[Logo]\npaper=40x30\nresolution=100\nmargins=2,3,4,5\n";

// What the job knows of its printer once it has opened it.
void UsePrinter(tolvane::HDC printer) {
  tolvane::TPrintState& state = tolvane::PrintState;
  state.PrinterDC = printer;
  state.PageWidth = tolvane::GetDeviceCaps(printer, tolvane::HORZSIZE) * 10;
  state.PageHeight = tolvane::GetDeviceCaps(printer, tolvane::VERTSIZE) * 10;
  state.PixelsPerMmX = double(tolvane::GetDeviceCaps(printer, tolvane::HORZRES)) * 10 / state.PageWidth;
  state.PixelsPerMmY = double(tolvane::GetDeviceCaps(printer, tolvane::VERTRES)) * 10 / state.PageHeight;
  state.FirstPage = 1;
  state.LastPage = 32767;
  state.CurrentPage = 1;
  state.PageStartPending = 1;
  state.CellHeight = 36;
  state.CellWidth = 24;
  state.LineHeight = 41;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  EnterScratch(argc, argv);
  WriteScratchFile("system.ini", SystemProfile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t lineEnd = input.find('\n');
  std::string rectangle(input.substr(0, lineEnd));
  WriteScratchFile("logo.bmp",
                   lineEnd == std::string_view::npos ? std::string_view() : input.substr(lineEnd + 1));
  ResetJob();
  tolvane::HDC printer = tolvane::CreateDCA("PNG", "Logo", "logo.png", nullptr);
  if (!printer) std::abort();
  UsePrinter(printer);
  tolvane::DOCINFOA info{sizeof(tolvane::DOCINFOA), "Tolvane_drv", nullptr, nullptr, 0};
  tolvane::StartDocA(printer, &info);
  try {
    tolvane::ExecuteCommand("BITM:logo.bmp," + rectangle);
    if (tolvane::PrintState.PageStartPending == 0) tolvane::EndPage(printer);
    tolvane::EndDoc(printer);
  } catch (const tolvane::TJobFailure&) {
    // A malformed number in the rectangle fails the job, as it would there.
    tolvane::AbortDoc(printer);
  }
  if (tolvane::PrintState.JobFont) tolvane::DeleteObject(tolvane::PrintState.JobFont);
  tolvane::DeleteDC(printer);
  return 0;
}
