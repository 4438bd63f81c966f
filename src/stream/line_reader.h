// Reads the print file line by line. A line ends at LF or CR LF; a CR on its
// own is dropped; a Ctrl-Z ends the file. Lines have no length limit.
#pragma once

#include <cstdio>
#include <string>

namespace tolvane {

struct TLineReader {
  std::FILE* File;
  char Buffer[65536];
  size_t Filled;
  size_t Next;
  bool AtEnd;  // no byte is left to be read, or a Ctrl-Z ended the file
};

void OpenLineReader(TLineReader& reader, std::FILE* file);

// Reads the next line into line, without its terminator. False when the file
// is at its end. A read error is raised as a job failure.
bool ReadLine(TLineReader& reader, std::string& line);

}  // namespace tolvane
