// An INI file line by line, as a person wrote it: names in their own case,
// with line numbers. The profile calls answer the job; this answers the
// questions about a file as a whole (which printers it lists, which of its
// lines no reader will ever look at).
#pragma once

#include <string>
#include <vector>

namespace tolvane {

enum TIniLineKind { IniBlank, IniComment, IniSection, IniEntry, IniOther };

struct TIniLine {
  TIniLineKind Kind;
  int Number;           // from 1
  std::string Section;  // the section the line belongs to (its own for IniSection)
  std::string Key;      // IniEntry: trimmed
  std::string Value;    // IniEntry: trimmed, matching quotes removed
  std::string Text;     // the line as written
};

// False when the file cannot be read (errorText says why).
bool ScanIniFile(const std::string& path, std::vector<TIniLine>& lines, std::string& errorText);

// The entries of one section (ASCII case ignored), in file order.
std::vector<TIniLine> IniSectionEntries(const std::vector<TIniLine>& lines,
                                        const std::string& section);

bool SameIniName(const std::string& a, const std::string& b);

}  // namespace tolvane
