#pragma once

#include <cstddef>
#include <string>

#include "os/win32.h"

namespace tolvane {

// Prints the print file on the printer: reads it to its end, drawing its
// bytes, running its escape sequences and ending pages. False when the file
// cannot be opened (then nothing else has been done).
bool PrintStream(HDC printer, const std::string& fileName);

// Called after every line the stream has read, when set: the job's progress.
extern void (*StreamLineHook)();

// The most bytes of a line walked at once, when set; however a line is cut,
// it prints the same.
extern size_t StreamPieceLimit;

}  // namespace tolvane
