// The job log: one line per job, for a person who looks later at what a
// host did. Hosts throw standard error away; the log keeps the same words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

// At this size the log is moved to tolvane.log.1 (one old file is kept).
constexpr uint64_t JobLogRotateSize = 1024 * 1024;

// The log's file: TOLVANE_LOG when set, else the platform's place. Empty
// when the log is off or has no place; why then says so.
std::string JobLogPath(std::string& why);

// Appends the line of a job that ended with exitCode; the arguments are
// those after the program's name. A log that cannot be written is said on
// standard error and skipped: it never changes the outcome.
void LogJob(const std::vector<std::string>& arguments, int exitCode);

// The line itself, at the moment given (seconds since the epoch).
std::string JobLogLine(const std::vector<std::string>& arguments, int exitCode, int64_t when);

}  // namespace tolvane
