// The job's shared state: one record of everything the print job knows, the
// conversion table, and the job's strings. All of it is module-level, zero
// when the program starts, and lives for the whole run.
#pragma once

#include <cstdint>
#include <string>

#include "os/win32.h"

namespace tolvane {

// Indexed by a byte of the print file; holds the byte printed in its place.
typedef uint8_t TConversionTable[256];

struct TPrintState {
  int32_t FirstPage;    // requested page range, both ends included
  int32_t LastPage;
  int32_t CurrentPage;  // 1 when the document starts, plus 1 at each form feed
  char PrinterDevice[101];
  std::string PrinterDriver;
  std::string PrinterPort;
  HDC PrinterDC;
  int32_t PageWidth;  // printable area, tenths of a millimetre
  int32_t PageHeight;
  double PixelsPerMmX;
  double PixelsPerMmY;
  double CellHeight;  // character cell, tenths of a millimetre
  double CellWidth;   // also the horizontal pitch of the grid
  double LineHeight;  // line pitch, tenths of a millimetre
  int32_t UpperMargin;  // whole millimetres
  int32_t LeftMargin;
  int32_t Rotated;  // nonzero: rotated printing
  LOGFONTA JobLogFont;
  HFONT JobFont;
  HGDIOBJ PreviousFont;  // what selecting JobFont displaced
  int32_t Column;        // character column of the pen on the line
  double PenX;  // tenths of a millimetre along the line from its start
  double PenY;  // tenths of a millimetre from the top line, negative below it
  int32_t PageStartPending;
};

extern TPrintState PrintState;
extern TConversionTable ConversionTable;

// The job's strings.
extern std::string ProgramDir;
extern std::string ConfigPath;
extern std::string PrintFileName;

// The buffer that configuration and printer entries are read into.
extern char ProfileBuffer[111];

// A failure raised deep inside the job: a malformed number, a read error, an
// arithmetic fault. Caught once by the job's failure handler (and by the logo
// command's own).
struct TJobFailure {
  std::string Message;
};

[[noreturn]] void RaiseJobFailure(const std::string& message);

// Puts every piece of shared state back to its value at program start.
void ResetJobState();

}  // namespace tolvane
