// Code-page tables from Windows's own conversions.
#include "device/fonts/code_page.h"

#include <map>
#include <memory>

#include "os/windows/font_data.h"

namespace tolvane {

namespace {

bool BuildTable(int32_t codePage, TCodePageTable& table) {
  table.CodePage = codePage;
  return CodePageCharacters(codePage, table.Character);
}

}  // namespace

const TCodePageTable& CodePageTable(int32_t codePage) {
  static std::map<int32_t, std::unique_ptr<TCodePageTable>> tables;
  auto found = tables.find(codePage);
  if (found != tables.end()) return *found->second;
  auto table = std::make_unique<TCodePageTable>();
  if (!BuildTable(codePage, *table)) {
    // A code page that Windows does not convert from draws as 1252; the
    // table keeps the number asked for, so it is built only once.
    if (codePage != 1252)
      Diagnose("code page " + std::to_string(codePage) +
               " is not known to Windows; the bytes are drawn as code page 1252");
    if (!BuildTable(1252, *table))
      for (int byte = 0; byte < 256; byte++) table->Character[byte] = char32_t(byte);
    table->CodePage = codePage;
  }
  return *tables.emplace(codePage, std::move(table)).first->second;
}

}  // namespace tolvane
