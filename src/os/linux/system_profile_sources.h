// The sources that answer the system printer profile besides its file.
#pragma once

#include <string>

namespace tolvane {

// The entry that the CUPS destinations give for `key` in `section`
// ([Devices] QUEUE, [windows] device); false when they give none.
bool LookupCupsProfileEntry(const std::string& section, const std::string& key,
                            std::string& value);

}  // namespace tolvane
