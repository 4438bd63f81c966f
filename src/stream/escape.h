#pragma once

#include <cstddef>

namespace tolvane {

// The assembled command, the configured value with any inline arguments
// behind a ",", holds at most this many characters; the rest is cut.
const size_t CommandLimit = 200;

enum TSequenceStage { SequenceLetter, SequenceColon, SequenceArguments, SequenceDone };

// One escape sequence as it is read from its ESC on. A line reaches the
// reader in pieces, so a sequence may begin in one piece and end in a later
// one; of its inline arguments only as much is kept as the command can hold.
struct TSequence {
  TSequenceStage Stage;
  char Letter;
  bool HasArguments;
  size_t Taken;  // bytes of the line from the ESC on
  char Value[CommandLimit + 1];
  size_t ArgumentsKept;
  char Arguments[CommandLimit];
};

// Begins a sequence whose ESC has been read.
void StartSequence(TSequence& sequence);

// Takes from bytes what belongs to the sequence and returns how many that
// is; the sequence's command has run once its stage is SequenceDone.
size_t ContinueSequence(TSequence& sequence, const char* bytes, size_t length);

// The line ended within the sequence: it takes what it has.
void EndSequence(TSequence& sequence);

// Reads the escape sequence that starts at the ESC of text (the rest of the
// line; a NUL byte ends it as the line's end does), runs the command that the
// configuration gives its letter, with any inline arguments appended, and
// returns how many bytes of the line the sequence took (at least 1).
size_t ExpandSequence(const char* text, size_t length);

}  // namespace tolvane
