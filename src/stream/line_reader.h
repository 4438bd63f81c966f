// Reads the print file line by line. A line ends at LF or CR LF; a CR on its
// own is dropped; a Ctrl-Z ends the file. Lines have no length limit, so a
// line is handed out in pieces straight from the read buffer: however long
// it is, no more of it than one buffer is held.
#pragma once

#include <cstdio>
#include <string>

namespace tolvane {

struct TLineReader {
  std::FILE* File;
  char Buffer[65536];
  size_t Filled;
  size_t Next;
  size_t PieceLimit;  // most bytes of one piece; the buffer's size unless a test cuts it
  bool AtEnd;         // no byte is left to be read, or a Ctrl-Z ended the file
  bool InLine;        // a line has begun and its end is not yet read
};

void OpenLineReader(TLineReader& reader, std::FILE* file);

// Begins the next line. False when the file is at its end. A read error is
// raised as a job failure, here and in ReadLinePiece.
bool StartLine(TLineReader& reader);

// The next piece of the line begun: bytes without CRs, never empty, valid
// until the reader is called again. False once the line has ended; its
// terminator is then taken.
bool ReadLinePiece(TLineReader& reader, const char*& piece, size_t& length);

// Reads the next line whole into line, without its terminator. False when
// the file is at its end.
bool ReadLine(TLineReader& reader, std::string& line);

}  // namespace tolvane
