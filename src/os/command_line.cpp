#include "os/command_line.h"

namespace tolvane {

static bool IsSeparator(char c) { return c >= 1 && c <= 32; }

// Skips separators and empty quoted arguments before the next word.
static const char* SkipSeparators(const char* at) {
  for (;;) {
    if (IsSeparator(*at))
      at++;
    else if (at[0] == '"' && at[1] == '"')
      at += 2;
    else
      return at;
  }
}

// Takes one character (two for a double-byte one) into the word.
static const char* TakeCharacter(const char* at, std::string& word,
                                 bool (*isLeadByte)(unsigned char)) {
  word += *at;
  if (isLeadByte && isLeadByte(static_cast<unsigned char>(*at)) && at[1] != 0) word += *++at;
  return at + 1;
}

static const char* ReadWord(const char* at, std::string& word, bool (*isLeadByte)(unsigned char)) {
  while (*at != 0 && !IsSeparator(*at)) {
    if (*at != '"') {
      at = TakeCharacter(at, word, isLeadByte);
      continue;
    }
    at++;  // a quoted stretch runs to the next quote or the end
    while (*at != 0 && *at != '"') at = TakeCharacter(at, word, isLeadByte);
    if (*at == '"') at++;
  }
  return at;
}

std::vector<std::string> SplitCommandLine(const char* raw, bool (*isLeadByte)(unsigned char)) {
  std::vector<std::string> words;
  const char* at = raw ? raw : "";
  for (;;) {
    at = SkipSeparators(at);
    if (*at == 0) break;
    std::string word;
    at = ReadWord(at, word, isLeadByte);
    if (word.empty()) break;
    words.push_back(word);
  }
  if (!words.empty()) words.erase(words.begin());  // the program's own name
  return words;
}

}  // namespace tolvane
