// The progress line: written over in place on a terminal, so that a person
// who runs a long job sees it move; a host never runs the job on one.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "os/win32.h"

namespace tolvane {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void ShowProgressLine(const std::string& line) {
  // Carriage return, the line, then erase what a longer line left.
  std::string text = "\r" + (line.empty() ? "" : "tolvane: " + line) + "\x1b[K";
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace tolvane
