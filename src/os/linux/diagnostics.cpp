// Diagnostic lines go to standard error as they are: the terminal, a pipe
// or a file that the user chose.
#include <cstdio>
#include <string>

#include "os/win32.h"

namespace tolvane {

void WriteDiagnosticLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// Only the summary line reads it; a host never sees it.
static std::string LastDocumentPlace;

void NoteDocumentPlace(const std::string& place) { LastDocumentPlace = place; }

std::string DocumentPlace() { return LastDocumentPlace; }

}  // namespace tolvane
