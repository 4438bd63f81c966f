#pragma once

#include <string>

namespace tolvane {

// Opens the configured printer, or the system's default one, and takes the
// printable area and resolution from it. Ends the job with exit code 2 when
// no device context can be made.
// For a check, the trace of a TRACE printer goes nowhere, so that looking
// at the printer writes nothing.
void OpenJobPrinter(bool forCheck = false);

// Makes the jobs of this run print on this printer whatever tolvane.ini or
// the system's default names: a program that must deliver its document to
// one place (the CUPS filter's standard output) sets it before the job.
void ForceJobPrinter(const std::string& device, const std::string& driver,
                     const std::string& port);

}  // namespace tolvane
