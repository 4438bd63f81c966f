// The hidden names that output files have beside their targets while they
// are not complete, and what becomes of them when the process ends: they are
// removed at exit and on SIGTERM, SIGINT or SIGHUP. A name carries the
// process that made it (its number, when it started and its host), so that
// a later run can tell the leftovers of a killed run from the files of one
// that still runs, even once the number has been given to another process.
#pragma once

#include <cstddef>
#include <set>
#include <string>

#include "os/linux/termination.h"

namespace tolvane {

// The directory part of a path ("." for none) and its last part.
std::string PathDirectory(const std::string& path);
std::string PathBaseName(const std::string& path);

// A hidden name beside target that nothing else uses:
// ".NAME.tolvane.OWNER.RANDOM", OWNER being "PID-START@HOST".
std::string HiddenNameFor(const std::string& target);

// This process as its hidden names carry it.
std::string OwnHiddenOwner();
// The owner in a hidden name, or in a name of another kind of file that
// carries it after mark; empty when there is none.
std::string HiddenFileOwner(const std::string& name, const char* mark = ".tolvane.");
// Whether the process that an owner names is known to have ended: one of
// this host that no longer runs, or whose number another process has now.
bool HiddenOwnerIsGone(const std::string& owner);
// Whether it is a process of this host that still runs.
bool HiddenOwnerIsRunning(const std::string& owner);

// A hidden file that must not outlive the process, until it is forgotten.
void RememberHiddenFile(const std::string& name);
void ForgetHiddenFile(const std::string& name);
size_t HiddenFileCount();

// Removes the hidden files in directory that a process of this host left
// when it was killed, except those of the owners spared, and says so.
void RemoveStaleHiddenFiles(const std::string& directory, const std::set<std::string>& spared);

}  // namespace tolvane
