// How a drawn byte becomes a character: the printer's code page, as a table
// of 256 Unicode code points built once per code page. The platform builds
// the tables from its own conversions.
#pragma once

#include <cstdint>

namespace tolvane {

struct TCodePageTable {
  int32_t CodePage;       // the code page the table answers for
  char32_t Character[256];
};

// The table of a Windows code page number (1252, 1250, 437, 850, ...). A byte
// that the code page leaves undefined stands for the code point of the same
// value, as Windows maps the holes of its ANSI code pages; a code page that
// the system cannot convert from gives the table of 1252.
const TCodePageTable& CodePageTable(int32_t codePage);

}  // namespace tolvane
