// The sources that answer the system printer profile besides its file.
#pragma once

#include <string>

namespace tolvane {

// The system printer profile file: TOLVANE_SYSTEM_PROFILE, else
// /etc/tolvane/system.ini.
const char* SystemProfilePath();

// The entry that the CUPS destinations give for `key` in `section`
// ([Devices] QUEUE, [windows] device); false when they give none.
bool LookupCupsProfileEntry(const std::string& section, const std::string& key,
                            std::string& value);

// The CUPS queues as a place looked in: "the CUPS queues of localhost:631
// (A, B)", or why there are none.
std::string CupsQueuesPlace();

}  // namespace tolvane
