#include "stream/escape.h"

#include <cstring>
#include <string>

#include "stream/commands.h"
#include "stream/failure_place.h"
#include "tolvane_state.h"

namespace tolvane {

static const size_t CommandLimit = 200;

// The inline arguments: the bytes after "ESC letter :" up to the first ';',
// NUL or the end of the line. Returns the bytes the sequence takes. Only
// the bytes of the sequence itself are looked at, so a line of many escapes
// is read in one pass.
static size_t ReadInlineArguments(const char* text, size_t length, std::string& arguments) {
  size_t end = 3;
  while (end < length && text[end] != ';' && text[end] != 0) end++;
  arguments.assign(text + 3, end - 3);
  if (end < length) return end + 1;  // the ';' or NUL goes with the sequence
  return length;
}

size_t ExpandSequence(const char* text, size_t length) {
  if (length < 2 || text[1] == 0) return 1;
  char key[2] = {text[1], 0};
  char value[CommandLimit + 1];
  GetPrivateProfileStringA("sequences", key, "", value, sizeof value, ConfigPath.c_str());
  bool hasArguments = length > 2 && text[2] == ':';
  std::string arguments;
  size_t taken = 2;
  if (hasArguments) taken = ReadInlineArguments(text, length, arguments);
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
