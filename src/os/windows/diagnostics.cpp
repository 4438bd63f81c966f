// On Windows the program stays silent apart from its warning boxes: it has
// no console of its own, and the host reads only the exit code.
#include <string>
#include <vector>

#include "os/win32.h"

namespace tolvane {

static int Given = 0;

void Diagnose(const std::string& /*message*/) { Given++; }

int DiagnosticsGiven() { return Given; }

void SetWarningDetail(const std::string& /*detail*/) {}

std::string PrinterSearchPlaces() { return "the printers of the system"; }

std::string DescribeFontFace(const std::string& face) {
  return (face.empty() ? std::string("the printer's default face") : face) +
         ", as the Windows font mapper gives it";
}

bool StandardErrorIsTerminal() { return false; }

void ShowProgressLine(const std::string& /*line*/) {}

void NoteDocumentPlace(const std::string& /*place*/) {}

std::string DocumentPlace() { return std::string(); }

// Windows keeps its printers itself; only the default is asked here, by the
// profile call that a job uses.
std::vector<TKnownPrinter> ListKnownPrinters(std::string& defaultName,
                                             std::string& defaultSource) {
  char entry[256];
  GetProfileStringA("windows", "device", "", entry, sizeof entry);
  std::string text = entry;
  defaultName = text.substr(0, text.find(','));
  defaultSource = "the system's default printer";
  return {};
}

}  // namespace tolvane
