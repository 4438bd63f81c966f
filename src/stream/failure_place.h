// Where the job is while it reads: the configuration entry, the print file's
// line and the escape sequence being run. A failure raised there is caught
// far away, and its warning names this place so that the user knows what to
// fix.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane {

// What is being read now (a configuration entry, an argument, the print
// file); forgets the line and the sequence of what came before.
void SetFailureSource(const std::string& source);
// The line of the print file being read, from 1; 0 before the first.
void SetFailureLine(int64_t line);
// The escape sequence being run and its command as assembled; empty when
// none runs.
void SetFailureSequence(char letter, std::string_view command);
void ClearFailureSequence();

// "report.txt, line 3, ESC F runs \"FSIZ:1-2\"", or empty when the job has
// not said where it is.
std::string FailurePlace();

// Forgets the place (between jobs of one process, in tests).
void ResetFailurePlace();

}  // namespace tolvane
