#include "stream/print_stream.h"

#include <memory>

#include "arithmetic.h"
#include "render/print_char.h"
#include "render/units.h"
#include "stream/commands.h"
#include "stream/escape.h"
#include "stream/failure_place.h"
#include "stream/line_reader.h"
#include "tolvane_state.h"

namespace tolvane {

void (*StreamLineHook)() = nullptr;
size_t StreamPieceLimit = 0;

static const uint8_t FormFeed = 12;
static const uint8_t Escape = 27;

// Ends the device page when one is open and in range; the next output will
// begin a new one.
static void EndSheet(HDC printer) {
  if (PrintState.PageStartPending == 0 && PageInRange()) EndPage(printer);
  PrintState.PageStartPending = 1;
}

static void StartStream(HDC printer) {
  PrintState.JobFont = nullptr;
  PrintState.PreviousFont = nullptr;
  // Pending already, so that a logo of the job-start sequence lands on page 1
  // and that page then stays open.
  PrintState.PageStartPending = 1;
  const char jobStart[] = {Escape, 'C'};
  ExpandSequence(jobStart, sizeof jobStart);
  ExecuteCommand("FSIZ:36,24");
  ExecuteCommand("LINH:41");
  PrintState.Rotated = 0;
  SetBkMode(printer, TRANSPARENT);
}

// Where the walk of a line stands between two of its pieces: an ESC that
// ended a piece waits for the byte after it, and a sequence may run on into
// the pieces that follow.
struct TLineWalk {
  bool HasBytes;
  bool AfterEscape;
  bool InSequence;
  TSequence Sequence;
};

static void StartLineWalk(TLineWalk& walk) {
  walk.HasBytes = false;
  walk.AfterEscape = false;
  walk.InSequence = false;
}

// The byte after an ESC: a second ESC is drawn, anything else begins the
// sequence (a NUL ends it at once and is then drawn).
static size_t TakeAfterEscape(TLineWalk& walk, uint8_t byte) {
  walk.AfterEscape = false;
  if (byte == Escape) {
    PrintChar(Escape);
    return 1;
  }
  StartSequence(walk.Sequence);
  walk.InSequence = true;
  return 0;
}

static void WalkPiece(HDC printer, TLineWalk& walk, const char* bytes, size_t length) {
  walk.HasBytes = true;
  size_t at = 0;
  while (at < length) {
    if (walk.InSequence) {
      at += ContinueSequence(walk.Sequence, bytes + at, length - at);
      walk.InSequence = walk.Sequence.Stage != SequenceDone;
      continue;
    }
    uint8_t byte = static_cast<uint8_t>(bytes[at]);
    if (walk.AfterEscape) {
      at += TakeAfterEscape(walk, byte);
    } else if (byte == FormFeed) {
      EndSheet(printer);
      PrintState.CurrentPage = AddWrapped(PrintState.CurrentPage, 1);
      at++;
    } else if (byte == Escape) {
      walk.AfterEscape = true;
      at++;
    } else {
      // Every byte up to the next form feed or ESC is a glyph.
      size_t end = at + 1;
      while (end < length && bytes[end] != FormFeed && bytes[end] != Escape) end++;
      PrintChars(reinterpret_cast<const uint8_t*>(bytes + at), end - at);
      at = end;
    }
  }
}

// The line's end ends a sequence in it; an ESC as its last byte does
// nothing, and an empty line still takes its room.
static void EndLineWalk(TLineWalk& walk) {
  if (walk.InSequence) EndSequence(walk.Sequence);
  walk.InSequence = false;
  walk.AfterEscape = false;
  if (!walk.HasBytes) PrintChar(' ');
}

static void PrintLine(HDC printer, TLineReader& reader, TLineWalk& walk) {
  StartLineWalk(walk);
  const char* piece;
  size_t length;
  while (ReadLinePiece(reader, piece, length)) WalkPiece(printer, walk, piece, length);
  EndLineWalk(walk);
}

static void EndLine() {
  PrintState.Column = 0;
  PrintState.PenX = 0.0;
  PrintState.PenY = StoreDouble(static_cast<TExtended>(PrintState.PenY) - PrintState.LineHeight);
}

// The next line would reach past the printable area: the sheet ends. Lines
// advance down the page upright, across it when rotated.
static void BreakPageIfFull(HDC printer) {
  const TPrintState& state = PrintState;
  int32_t extent = state.Rotated == 0 ? state.PageHeight : state.PageWidth;
  int32_t limit = SubtractWrapped(MultiplyWrapped(10, state.UpperMargin), extent);
  if (static_cast<TExtended>(state.PenY) - state.LineHeight < static_cast<TExtended>(limit))
    EndSheet(printer);
}

static void EndStream(HDC printer) {
  if (PrintState.PageStartPending == 0 && PageInRange()) EndPage(printer);
  if (PrintState.JobFont) {
    // Take the job font out of the context before deleting it.
    if (PrintState.PreviousFont) SelectObject(printer, PrintState.PreviousFont);
    DeleteObject(PrintState.JobFont);
  }
  PrintState.JobFont = nullptr;
  PrintState.PreviousFont = nullptr;
}

bool PrintStream(HDC printer, const std::string& fileName) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenForSharedRead(fileName.c_str()),
                                                        std::fclose);
  if (!file) return false;
  SetFailureSource(fileName);
  StartStream(printer);
  auto reader = std::make_unique<TLineReader>();
  OpenLineReader(*reader, file.get());
  if (StreamPieceLimit != 0) reader->PieceLimit = StreamPieceLimit;
  TLineWalk walk;
  int64_t number = 1;
  SetFailureLine(number);
  while (StartLine(*reader)) {
    PrintLine(printer, *reader, walk);
    EndLine();
    BreakPageIfFull(printer);
    SetFailureLine(++number);
    if (StreamLineHook) StreamLineHook();
  }
  EndStream(printer);
  return true;
}

}  // namespace tolvane
