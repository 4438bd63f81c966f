// The configuration file looked at as a whole, line by line: what a job
// passes over without a word is a problem here.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "job/check.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

const char* const Sections[] = {"preferences", "conversion", "sequences"};
const char* const PreferenceKeys[] = {"font", "leftmargin", "uppermargin", "printer"};

// Arguments a command reads as whole numbers (I), numbers with a fraction
// (F) or a file (P); the last letter repeats for further arguments.
struct TCommandShape {
  const char* Name;
  const char* Arguments;
};
const TCommandShape CommandShapes[] = {
    {"FSIZ", "FF"}, {"FELM", "I"}, {"BALM", "I"},     {"BOLD", "I"},
    {"LINH", "F"},  {"VERT", "I"}, {"BITM", "PIIII"},
};

const size_t FontLimit = 31;
const size_t PrinterLimit = 100;
const size_t CommandLimit = 200;

std::string LineName(const TIniLine& line) {
  return "line " + std::to_string(line.Number) + " (" + line.Text + ")";
}

bool IsOneOf(const std::string& name, const char* const* names, size_t count) {
  for (size_t i = 0; i < count; i++)
    if (SameIniName(name, names[i])) return true;
  return false;
}

std::string Trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  return start == std::string::npos ? ""
                                    : text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

// The characters of value that a lenient number read passes over after its
// leading run; blanks first mean a comment, as "65 ; A" is written.
std::string IgnoredTail(const std::string& value, const char* runCharacters) {
  size_t run = value.find_first_not_of(runCharacters);
  if (run == std::string::npos || run == 0) return "";
  if (value[run] == ' ' || value[run] == '\t') return "";
  return value.substr(run);
}

// A number as the job reads it; the problem when it fails the job or reads
// differently from how it looks.
void CheckNumber(const std::string& value, bool fraction, const std::string& where) {
  std::string text = Trimmed(value);
  try {
    std::string read =
        fraction ? std::to_string(FieldToFloat(value)) : std::to_string(FieldToInt(value));
    if (fraction && read.find('.') != std::string::npos) {
      read.erase(read.find_last_not_of('0') + 1);
      if (read.back() == '.') read.pop_back();
    }
    if (!value.empty() && (value[0] == ' ' || value[0] == '\t'))
      ShowProblem(where + ": '" + value + "' starts with a blank and reads 0");
    else if (!text.empty() && text.find_first_of("+-0123456789.") != 0)
      ShowProblem(where + ": '" + value + "' is not a number and reads 0");
    else if (!IgnoredTail(text, fraction ? "+-0123456789.," : "+-0123456789").empty())
      ShowProblem(where + ": '" + value + "' reads " + read);
  } catch (const TJobFailure& failure) {
    ShowProblem(where + ": " + failure.Message + ", which fails the job");
  }
}

void CheckLogoFile(const std::string& name, const std::string& where) {
  struct stat info;
  if (name.empty()) {
    ShowProblem(where + ": BITM names no logo file");
  } else if (stat(name.c_str(), &info) != 0) {
    ShowProblem(where + ": logo file '" + name +
                "' (from the current directory): " + std::strerror(errno));
  } else if (!S_ISREG(info.st_mode)) {
    ShowProblem(where + ": logo file '" + name + "' is not a regular file and is refused");
  } else if (info.st_size < 54) {
    ShowProblem(where + ": logo file '" + name +
                "' is shorter than a bitmap's headers and is refused");
  }
}

std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> arguments;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    arguments.push_back(text.substr(start, comma - start));
    if (comma == std::string::npos) return arguments;
    start = comma + 1;
  }
}

void CheckPreference(const TIniLine& line) {
  std::string where = LineName(line);
  if (SameIniName(line.Key, "leftmargin") || SameIniName(line.Key, "uppermargin")) {
    std::string tail = IgnoredTail(line.Value, "+-0123456789");
    if (!tail.empty() || (!line.Value.empty() && line.Value.find_first_of("+-0123456789") != 0))
      ShowProblem(where + ": the margin reads " +
                  std::to_string(GetPrivateProfileIntA("preferences", line.Key.c_str(), 0,
                                                       ConfigPath.c_str())) +
                  " mm");
  } else if (SameIniName(line.Key, "font") && line.Value.size() > FontLimit) {
    ShowProblem(where + ": the face name is cut to " + std::to_string(FontLimit) + " characters");
  } else if (SameIniName(line.Key, "printer") && line.Value.size() >= PrinterLimit) {
    ShowProblem(where + ": a printer name of " + std::to_string(PrinterLimit) +
                " characters or more gives no printer");
  }
}

// Keys are plain decimal: "065" or "256" is never read.
void CheckConversion(const TIniLine& line) {
  std::string where = LineName(line);
  const std::string& key = line.Key;
  bool plain = !key.empty() && key.size() <= 3 &&
               key.find_first_not_of("0123456789") == std::string::npos &&
               (key == "0" || key[0] != '0') && std::stoi(key) <= 255;
  if (!plain) {
    ShowProblem(where + ": only the keys 0 to 255, in plain decimal, are read");
    return;
  }
  if (line.Value.empty()) return;
  CheckNumber(line.Value, false, where);
  try {
    int32_t value = FieldToInt(line.Value);
    if (value < 0 || value > 255)
      ShowProblem(where + ": " + std::to_string(value) + " wraps to " +
                  std::to_string(value & 0xFF));
  } catch (const TJobFailure&) {
  }
}

void CheckSequence(const TIniLine& line) {
  std::string where = LineName(line);
  if (line.Key.size() != 1) {
    ShowProblem(where + ": the key is the one character after ESC; this entry is never used");
    return;
  }
  CheckCommand(line.Value, where);
}

void CheckEntry(const TIniLine& line) {
  if (SameIniName(line.Section, "preferences")) {
    if (!IsOneOf(line.Key, PreferenceKeys, std::size(PreferenceKeys)))
      ShowProblem(LineName(line) + ": [preferences] has no key '" + line.Key + "'");
    else
      CheckPreference(line);
  } else if (SameIniName(line.Section, "conversion")) {
    CheckConversion(line);
  } else if (SameIniName(line.Section, "sequences")) {
    CheckSequence(line);
  }
}

// The first section and key of a name win; a repeated one is never read.
bool IsRepeated(const std::vector<TIniLine>& lines, size_t index) {
  const TIniLine& line = lines[index];
  for (size_t i = 0; i < index; i++) {
    const TIniLine& earlier = lines[i];
    if (line.Kind == IniSection && earlier.Kind == IniSection &&
        SameIniName(earlier.Section, line.Section)) {
      ShowProblem(LineName(line) + ": repeats the section of line " +
                  std::to_string(earlier.Number) + "; only the first is read");
      return true;
    }
    if (line.Kind == IniEntry && earlier.Kind == IniEntry &&
        SameIniName(earlier.Section, line.Section) && SameIniName(earlier.Key, line.Key)) {
      ShowProblem(LineName(line) + ": repeats the key of line " + std::to_string(earlier.Number) +
                  "; only the first is read");
      return true;
    }
  }
  return false;
}

}  // namespace

void CheckCommand(const std::string& command, const std::string& where) {
  if (command.size() > CommandLimit)
    ShowProblem(where + ": the command is cut to " + std::to_string(CommandLimit) + " characters");
  size_t colon = command.find(':');
  std::string name = command.substr(0, colon);
  const TCommandShape* shape = nullptr;
  for (const TCommandShape& known : CommandShapes)
    if (SameIniName(name, known.Name)) shape = &known;
  if (shape == nullptr) {
    ShowProblem(where + ": '" + name + "' is none of FSIZ, FELM, BALM, BOLD, LINH, VERT, BITM; " +
                "the job passes over it");
    return;
  }
  if (colon == std::string::npos) return;
  std::vector<std::string> arguments = SplitArguments(command.substr(colon + 1));
  size_t kinds = std::strlen(shape->Arguments);
  for (size_t i = 0; i < arguments.size() && i < kinds; i++) {
    char kind = shape->Arguments[i];
    std::string place = where + ", argument " + std::to_string(i + 1);
    if (kind == 'P')
      CheckLogoFile(arguments[i], place);
    else
      CheckNumber(arguments[i], kind == 'F', place);
  }
}

void CheckConfigurationLines(const std::vector<TIniLine>& lines) {
  for (size_t i = 0; i < lines.size(); i++) {
    const TIniLine& line = lines[i];
    if (line.Kind == IniOther) {
      ShowProblem(LineName(line) + ": neither a [section], a key=value nor a ; comment");
    } else if (line.Kind == IniSection) {
      if (!IsOneOf(line.Section, Sections, std::size(Sections)))
        ShowProblem(LineName(line) +
                    ": unknown section; the sections are [preferences], "
                    "[conversion] and [sequences]");
      else
        IsRepeated(lines, i);
    } else if (line.Kind == IniEntry && line.Section.empty()) {
      ShowProblem(LineName(line) + ": stands before any section and is never read");
    } else if (line.Kind == IniEntry && IsOneOf(line.Section, Sections, std::size(Sections)) &&
               !IsRepeated(lines, i)) {
      CheckEntry(line);
    }
  }
}

}  // namespace tolvane
