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
  using tolvane::GetDeviceCaps;
  UsePrintableArea(GetDeviceCaps(printer, tolvane::HORZRES), GetDeviceCaps(printer, tolvane::HORZSIZE),
                   GetDeviceCaps(printer, tolvane::VERTRES), GetDeviceCaps(printer, tolvane::VERTSIZE));
  tolvane::TPrintState& state = tolvane::PrintState;
  state.PrinterDC = printer;
  state.CellHeight = 36;
  state.CellWidth = 24;
  state.LineHeight = 41;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  EnterScratch(argc, argv, "system.ini", SystemProfile);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TInputHead head = CutFirstLine(std::string_view(reinterpret_cast<const char*>(data), size));
  WriteScratchFile("logo.bmp", head.Rest);
  ResetJob();
  tolvane::HDC printer = tolvane::CreateDCA("PNG", "Logo", "logo.png", nullptr);
  if (!printer) std::abort();
  UsePrinter(printer);
  tolvane::DOCINFOA info{sizeof(tolvane::DOCINFOA), "Tolvane_drv", nullptr, nullptr, 0};
  tolvane::StartDocA(printer, &info);
  try {
    tolvane::ExecuteCommand("BITM:logo.bmp," + std::string(head.Line));
  } catch (const tolvane::TJobFailure&) {
    // Only the page's start may fail the job here; the logo's own failures
    // are warnings.
    tolvane::AbortDoc(printer);
  }
  // A logo that cannot be drawn is left out, and the document still ends well.
  try {
    if (tolvane::PrintState.PageStartPending == 0) tolvane::EndPage(printer);
    tolvane::EndDoc(printer);
  } catch (const tolvane::TJobFailure& failure) {
    std::fprintf(stderr, "the document failed after the logo: %s\n", failure.Message.c_str());
    std::abort();
  }
  if (tolvane::PrintState.JobFont) tolvane::DeleteObject(tolvane::PrintState.JobFont);
  tolvane::DeleteDC(printer);
  ResetJob();
  return 0;
}
