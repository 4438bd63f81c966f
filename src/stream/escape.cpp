#include "stream/escape.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "stream/commands.h"
#include "stream/failure_place.h"
#include "tolvane_state.h"

namespace tolvane {

void StartSequence(TSequence& sequence) {
  sequence.Stage = SequenceLetter;
  sequence.Letter = 0;
  sequence.HasArguments = false;
  sequence.Taken = 1;
  sequence.Value[0] = 0;
  sequence.ArgumentsKept = 0;
}

static void RunSequence(TSequence& sequence) {
  sequence.Stage = SequenceDone;
  // A letter without a command swallows its arguments too.
  if (sequence.Value[0] == 0) return;
  char command[CommandLimit];
  size_t length = std::strlen(sequence.Value);
  std::memcpy(command, sequence.Value, length);
  if (sequence.HasArguments && length < CommandLimit) {
    command[length++] = ',';
    size_t kept = std::min(sequence.ArgumentsKept, CommandLimit - length);
    std::memcpy(command + length, sequence.Arguments, kept);
    length += kept;
  }
  std::string_view assembled(command, length);
  SetFailureSequence(sequence.Letter, assembled);
  ExecuteCommand(assembled);
  ClearFailureSequence();
}

static void TakeLetter(TSequence& sequence, char letter) {
  char key[2] = {letter, 0};
  GetPrivateProfileStringA("sequences", key, "", sequence.Value, sizeof sequence.Value,
                           ConfigPath.c_str());
  sequence.Letter = letter;
  sequence.Taken++;
  sequence.Stage = SequenceColon;
}

// The inline arguments run to the first ';' or NUL, which goes with the
// sequence, or to the end of the line. Only the bytes of the sequence itself
// are looked at, so a line of many escapes is read in one pass.
static size_t TakeArguments(TSequence& sequence, const char* bytes, size_t length) {
  size_t end = 0;
  while (end < length && bytes[end] != ';' && bytes[end] != 0) end++;
  size_t room = sizeof sequence.Arguments - sequence.ArgumentsKept;
  size_t kept = end < room ? end : room;
  std::memcpy(sequence.Arguments + sequence.ArgumentsKept, bytes, kept);
  sequence.ArgumentsKept += kept;
  sequence.Taken += end;
  if (end == length) return length;
  sequence.Taken++;
  RunSequence(sequence);
  return end + 1;
}

size_t ContinueSequence(TSequence& sequence, const char* bytes, size_t length) {
  size_t at = 0;
  if (sequence.Stage == SequenceLetter && at < length) {
    // A NUL ends the text right after the ESC: the ESC is taken alone.
    if (bytes[at] == 0) {
      sequence.Stage = SequenceDone;
      return at;
    }
    TakeLetter(sequence, bytes[at++]);
  }
  if (sequence.Stage == SequenceColon && at < length) {
    if (bytes[at] != ':') {
      RunSequence(sequence);
      return at;
    }
    sequence.HasArguments = true;
    sequence.Taken++;
    sequence.Stage = SequenceArguments;
    at++;
  }
  if (sequence.Stage == SequenceArguments && at < length)
    at += TakeArguments(sequence, bytes + at, length - at);
  return at;
}

void EndSequence(TSequence& sequence) {
  if (sequence.Stage == SequenceLetter)
    sequence.Stage = SequenceDone;  // an ESC at the end of the line does nothing
  else if (sequence.Stage != SequenceDone)
    RunSequence(sequence);
}

size_t ExpandSequence(const char* text, size_t length) {
  TSequence sequence;
  StartSequence(sequence);
  if (length > 1) ContinueSequence(sequence, text + 1, length - 1);
  EndSequence(sequence);
  return sequence.Taken;
}

}  // namespace tolvane
