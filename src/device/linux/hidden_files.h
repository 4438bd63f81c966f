// The hidden names that output files have beside their targets while they
// are not complete, and what becomes of them when the process ends: they are
// removed at exit and on SIGTERM, SIGINT or SIGHUP. A name carries the
// process and the host that made it, so that a later run can tell the
// leftovers of a killed run from the files of one that still runs.
#pragma once

#include <cstddef>
#include <string>

#include "os/linux/termination.h"

namespace tolvane {

// The directory part of a path ("." for none) and its last part.
std::string PathDirectory(const std::string& path);
std::string PathBaseName(const std::string& path);

// A hidden name beside target that nothing else uses:
// ".NAME.tolvane.PID@HOST.RANDOM".
std::string HiddenNameFor(const std::string& target);

// A hidden file that must not outlive the process, until it is forgotten.
void RememberHiddenFile(const std::string& name);
void ForgetHiddenFile(const std::string& name);
size_t HiddenFileCount();

// Removes the hidden files in directory that a process of this host left
// when it was killed, once per directory and run.
void RemoveStaleHiddenFiles(const std::string& directory);

}  // namespace tolvane
