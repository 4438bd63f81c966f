// Diagnostics: one line on standard error per failure or fallback, so that a
// person can fix the cause from the message alone. A host reads only the
// exit code, so nothing here changes what the job does.
#include <cstdio>
#include <string>

#include "os/win32.h"

namespace tolvane {

// Names and paths may come from the print file or the configuration; control
// bytes are masked so that they cannot move the terminal's cursor or colours.
static int Given = 0;

int DiagnosticsGiven() { return Given; }

void Diagnose(const std::string& message) {
  Given++;
  std::string line = "tolvane: " + message;
  for (char& c : line) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// Only the summary line reads it; a host never sees it.
static std::string LastDocumentPlace;

void NoteDocumentPlace(const std::string& place) { LastDocumentPlace = place; }

std::string DocumentPlace() { return LastDocumentPlace; }

}  // namespace tolvane
