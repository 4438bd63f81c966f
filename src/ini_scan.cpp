#include "ini_scan.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace tolvane {

namespace {

std::string Trim(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(start, end - start + 1);
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    return value.substr(1, value.size() - 2);
  return value;
}

TIniLine ReadIniLine(const std::string& text, int number, const std::string& section) {
  TIniLine line{IniOther, number, section, "", "", text};
  std::string trimmed = Trim(text);
  size_t equals = trimmed.find('=');
  if (trimmed.empty()) {
    line.Kind = IniBlank;
  } else if (trimmed[0] == ';') {
    line.Kind = IniComment;
  } else if (trimmed[0] == '[' && trimmed.find(']') != std::string::npos) {
    line.Kind = IniSection;
    line.Section = Trim(trimmed.substr(1, trimmed.find(']') - 1));
  } else if (equals != std::string::npos && equals > 0) {
    line.Kind = IniEntry;
    line.Key = Trim(trimmed.substr(0, equals));
    line.Value = Unquote(Trim(trimmed.substr(equals + 1)));
  }
  return line;
}

}  // namespace

bool SameIniName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

bool ScanIniFile(const std::string& path, std::vector<TIniLine>& lines, std::string& errorText) {
  lines.clear();
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    errorText = errno != 0 ? std::strerror(errno) : "cannot be read";
    return false;
  }
  std::string text, section;
  int number = 0;
  while (std::getline(file, text)) {
    lines.push_back(ReadIniLine(text, ++number, section));
    section = lines.back().Section;
  }
  return true;
}

std::vector<TIniLine> IniSectionEntries(const std::vector<TIniLine>& lines,
                                        const std::string& section) {
  std::vector<TIniLine> entries;
  for (const TIniLine& line : lines)
    if (line.Kind == IniEntry && SameIniName(line.Section, section)) entries.push_back(line);
  return entries;
}

}  // namespace tolvane
