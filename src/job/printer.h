#pragma once

namespace tolvane {

// Opens the configured printer, or the system's default one, and takes the
// printable area and resolution from it. Ends the job with exit code 2 when
// no device context can be made.
void OpenJobPrinter();

}  // namespace tolvane
