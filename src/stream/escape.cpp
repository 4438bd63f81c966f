#include "stream/escape.h"

#include <cstring>
#include <string>

#include "stream/commands.h"
#include "stream/failure_place.h"
#include "tolvane_state.h"

namespace tolvane {

static const size_t CommandLimit = 200;

// The inline arguments: the bytes after "ESC letter :" up to the first ';'
// or the end. Returns the bytes the sequence takes.
static size_t ReadInlineArguments(const char* text, size_t textLength, size_t lineLength,
                                  std::string& arguments) {
  size_t end = 3;
  while (end < textLength && text[end] != ';') end++;
  arguments.assign(text + 3, end - 3);
  if (end < textLength) return end + 1;  // the ';' goes with the sequence
  if (textLength < lineLength) return textLength + 1;  // and so does a NUL
  return lineLength;
}

size_t ExpandSequence(const char* text, size_t length) {
  size_t textLength = strnlen(text, length);
  if (textLength < 2) return 1;
  char key[2] = {text[1], 0};
  char value[CommandLimit + 1];
  GetPrivateProfileStringA("sequences", key, "", value, sizeof value, ConfigPath.c_str());
  bool hasArguments = textLength > 2 && text[2] == ':';
  std::string arguments;
  size_t taken = 2;
  if (hasArguments) taken = ReadInlineArguments(text, textLength, length, arguments);
  // A letter without a command swallows its arguments too.
  if (value[0] == 0) return taken;
  std::string command = value;
  if (hasArguments) command += "," + arguments;
  if (command.size() > CommandLimit) command.resize(CommandLimit);
  SetFailureSequence(text[1], command);
  ExecuteCommand(command);
  ClearFailureSequence();
  return taken;
}

}  // namespace tolvane
