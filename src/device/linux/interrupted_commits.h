// What killed jobs leave in a folder of outputs: a group of files stopped
// halfway through taking their names (with its record), and hidden files.
// The first output that a run starts in a folder finishes or takes back
// such a group, so that the folder holds all the old files or all the new,
// and removes the hidden files of processes that no longer run; it says so
// on standard error. Files of jobs that still run are left alone.
#pragma once

#include <string>

namespace tolvane {

// Once per folder and run; the folder is locked meanwhile, against another
// run doing the same.
void TidyOutputFolder(const std::string& directory);

}  // namespace tolvane
