// Linux builds the code page tables (device/fonts/code_page.h) with iconv,
// and has 1252 built in.
#pragma once

#include <cstdint>

#include "device/fonts/code_page.h"

namespace tolvane {

// The table as iconv converts the code page, for any code page; false when
// iconv cannot.
bool BuildCodePageWithIconv(int32_t codePage, TCodePageTable& table);

}  // namespace tolvane
