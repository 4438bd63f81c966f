#pragma once

namespace tolvane {

// Opens the configured printer, or the system's default one, and takes the
// printable area and resolution from it. Ends the job with exit code 2 when
// no device context can be made.
// For a check, the trace of a TRACE printer goes nowhere, so that looking
// at the printer writes nothing.
void OpenJobPrinter(bool forCheck = false);

}  // namespace tolvane
