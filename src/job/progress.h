// What a person at a terminal sees of a long job: a progress line while it
// runs and one summary line when it ends. A host, which does not run the job
// on a terminal, sees nothing of it.
#pragma once

namespace tolvane {

// At the start of the document.
void StartProgress();
// When the document has ended well: the summary of a job that showed
// progress, and a word when no page fell into the range.
void ReportPrintedDocument();
// Clears the progress line before a warning or a diagnostic.
void EndProgress();

}  // namespace tolvane
