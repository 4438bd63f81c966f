// Diagnostics: one line "tolvane: MESSAGE" per failure or fallback, so that
// a person can fix the cause from the message alone. A host reads only the
// exit code, so nothing here changes what the job does. Every line is also
// kept for the job log, which a person reads when the console was hidden.
#include <string>
#include <vector>

#include "os/win32.h"

namespace tolvane {

namespace {

std::vector<std::string> Notes;
int Given = 0;

// Names and paths may come from the print file or the configuration; control
// bytes are masked so that they cannot move a terminal's cursor or colours,
// nor split a line of the log.
std::string MaskControls(std::string text) {
  for (char& c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return text;
}

}  // namespace

void Diagnose(const std::string& message) {
  Given++;
  std::string masked = MaskControls(message);
  Notes.push_back(masked);
  WriteDiagnosticLine("tolvane: " + masked + "\n");
}

int DiagnosticsGiven() { return Given; }

void NoteWarningShown(const std::string& caption, const std::string& detail) {
  Notes.push_back("warning box '" + MaskControls(caption) + "'" +
                  (detail.empty() ? std::string() : ": " + MaskControls(detail)));
}

const std::vector<std::string>& RunNotes() { return Notes; }

void ForgetRunNotes() { Notes.clear(); }

}  // namespace tolvane
