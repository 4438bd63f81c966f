// What a person at a terminal sees of a long job: a progress line while it
// runs and one summary line when it ends. A host, which does not run the job
// on a terminal, sees nothing of it.
#pragma once

#include <string>

namespace tolvane {

// At the start of the document.
void StartProgress();
// When the document has ended well: the summary of a job that showed
// progress, and a word when no page fell into the range.
void ReportPrintedDocument();
// Where the document went, as the user would look for it: a file's full
// path, "CUPS queue Office", a CUPS request id; the port of a printer of
// the system as it is.
std::string JobOutput();
// The same with the driver before a file: "PDF: /home/ann/tolvane.pdf".
std::string JobDestination();
// Clears the progress line before a warning or a diagnostic.
void EndProgress();

}  // namespace tolvane
