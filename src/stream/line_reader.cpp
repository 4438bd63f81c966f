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
  reader.PieceLimit = sizeof reader.Buffer;
  reader.AtEnd = false;
  reader.InLine = false;
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

bool StartLine(TLineReader& reader) {
  reader.InLine = false;
  char byte;
  if (!PeekByte(reader, byte)) return false;
  // A CR on its own is dropped, so a Ctrl-Z after CRs still starts its line;
  // CRs at the end of the file are a last line of their own.
  while (byte == CarriageReturn) {
    reader.Next++;
    if (!PeekByte(reader, byte)) break;
  }
  // A Ctrl-Z at the very start of a line ends the file before it.
  if (byte == EndOfFileMark) {
    reader.AtEnd = true;
    return false;
  }
  reader.InLine = true;
  return true;
}

bool ReadLinePiece(TLineReader& reader, const char*& piece, size_t& length) {
  char byte;
  while (reader.InLine && PeekByte(reader, byte)) {
    if (byte == LineFeed) {
      reader.Next++;
      break;
    }
    // A Ctrl-Z inside a line ends the file, after the bytes before it.
    if (byte == EndOfFileMark) {
      reader.AtEnd = true;
      reader.Next = reader.Filled;
      break;
    }
    // A CR is dropped wherever it stands, so CR LF ends the line at its LF.
    if (byte == CarriageReturn) {
      reader.Next++;
      continue;
    }
    const char* start = reader.Buffer + reader.Next;
    size_t available = reader.Filled - reader.Next;
    if (available > reader.PieceLimit) available = reader.PieceLimit;
    size_t run = 1;
    while (run < available && start[run] != LineFeed && start[run] != EndOfFileMark &&
           start[run] != CarriageReturn)
      run++;
    reader.Next += run;
    piece = start;
    length = run;
    return true;
  }
  reader.InLine = false;
  return false;
}

bool ReadLine(TLineReader& reader, std::string& line) {
  line.clear();
  if (!StartLine(reader)) return false;
  const char* piece;
  size_t length;
  while (ReadLinePiece(reader, piece, length)) line.append(piece, length);
  return true;
}

}  // namespace tolvane
