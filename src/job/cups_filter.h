// The program as a CUPS filter. Started under the name tolvanetopdf, it takes
// the scheduler's arguments (job id, user, title, copies, options and an
// optional file), prints the print file with the installed tolvane.ini as one
// job would, and writes the PDF to standard output for the scheduler to send
// on to the printer.
#pragma once

namespace tolvane {

// Whether the program was started as the filter: by a link of that name,
// which the scheduler runs by its path (it passes the queue's name as the
// first argument, not the program's).
bool StartedAsCupsFilter(int argc, char** argv);

// Runs one filter job; 0 when the PDF was written, 1 when the scheduler must
// abort the job (the reason is on standard error as "ERROR: " lines).
int CupsFilterMain(int argc, char** argv);

}  // namespace tolvane
