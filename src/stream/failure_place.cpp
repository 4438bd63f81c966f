#include "stream/failure_place.h"

namespace tolvane {

namespace {

struct TFailurePlace {
  std::string Source;
  int64_t Line = 0;
  bool InSequence = false;
  char Letter = 0;
  std::string Command;
};

TFailurePlace Place;

// The letter comes from the print file and may be any byte.
std::string LetterText(char letter) {
  unsigned char byte = static_cast<unsigned char>(letter);
  if (byte > 0x20 && byte < 0x7F) return std::string(1, letter);
  const char digits[] = "0123456789abcdef";
  return std::string("\\x") + digits[byte >> 4] + digits[byte & 15];
}

}  // namespace

void SetFailureSource(const std::string& source) {
  Place = TFailurePlace{};
  Place.Source = source;
}

void SetFailureLine(int64_t line) { Place.Line = line; }

void SetFailureSequence(char letter, std::string_view command) {
  Place.InSequence = true;
  Place.Letter = letter;
  Place.Command = command;
}

void ClearFailureSequence() {
  Place.InSequence = false;
  Place.Command.clear();
}

std::string FailurePlace() {
  std::string place = Place.Source;
  if (Place.Line > 0) place += ", line " + std::to_string(Place.Line);
  if (Place.InSequence) {
    if (Place.Line == 0 && !place.empty()) place += ", job start";
    if (!place.empty()) place += ", ";
    place += "ESC " + LetterText(Place.Letter) + " runs \"" + Place.Command + "\"";
  }
  return place;
}

void ResetFailurePlace() { Place = TFailurePlace{}; }

}  // namespace tolvane
