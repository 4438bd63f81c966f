#include "stream/line_reader.h"

#include <cerrno>
#include <cstring>

#include "tolvane_state.h"

namespace tolvane {

static const char LineFeed = 10;
static const char CarriageReturn = 13;
static const char EndOfFileMark = 26;

void OpenLineReader(TLineReader& reader, std::FILE* file) {
  reader.File = file;
  reader.Filled = 0;
  reader.Next = 0;
  reader.AtEnd = false;
}

// Makes the next byte available; false at the end of the file.
static bool FillBuffer(TLineReader& reader) {
  if (reader.Next < reader.Filled) return true;
  if (reader.AtEnd) return false;
  reader.Filled = std::fread(reader.Buffer, 1, sizeof reader.Buffer, reader.File);
  reader.Next = 0;
  if (reader.Filled == 0 && std::ferror(reader.File)) {
    int error = errno;
    RaiseJobFailure("I/O error " + std::to_string(error) + " reading the print file: " +
                    std::strerror(error));
  }
  if (reader.Filled == 0) reader.AtEnd = true;
  return reader.Filled != 0;
}

static bool PeekByte(TLineReader& reader, char& byte) {
  if (!FillBuffer(reader)) return false;
  byte = reader.Buffer[reader.Next];
  return true;
}

bool ReadLine(TLineReader& reader, std::string& line) {
  line.clear();
  char byte;
  if (!PeekByte(reader, byte)) return false;
  // A CR on its own is dropped, so a Ctrl-Z after CRs still starts its line.
  while (byte == CarriageReturn) {
    reader.Next++;
    if (!PeekByte(reader, byte)) return true;  // the CRs were the last line
  }
  // A Ctrl-Z at the very start of a line ends the file before it.
  if (byte == EndOfFileMark) {
    reader.AtEnd = true;
    return false;
  }
  while (PeekByte(reader, byte)) {
    if (byte == LineFeed) {
      reader.Next++;
      return true;
    }
    // A Ctrl-Z inside a line ends the file, after the bytes before it.
    if (byte == EndOfFileMark) {
      reader.AtEnd = true;
      reader.Next = reader.Filled;
      return true;
    }
    // Copy the run of ordinary bytes at once; a CR is dropped wherever it
    // stands, so CR LF ends the line at its LF.
    const char* start = reader.Buffer + reader.Next;
    size_t length = 0;
    size_t available = reader.Filled - reader.Next;
    while (length < available && start[length] != LineFeed && start[length] != EndOfFileMark &&
           start[length] != CarriageReturn)
      length++;
    line.append(start, length);
    reader.Next += length;
    if (reader.Next < reader.Filled && reader.Buffer[reader.Next] == CarriageReturn) reader.Next++;
  }
  return true;
}

}  // namespace tolvane
