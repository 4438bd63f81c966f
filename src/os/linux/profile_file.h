// Reading INI files for the profile calls. Both the private profiles and the
// system printer profile go through the one parser and the one cache here.
#pragma once

#include <string>
#include <string_view>

#include "os/win32.h"

namespace tolvane {

// The value of `key` in `section` of the INI file at `path`, as the file is
// at this moment; names match without regard to ASCII case. False when the
// file, the section or the key is missing. The value may be empty.
bool FindProfileValue(const char* path, const char* section, const char* key,
                      std::string& value);

// The same value without a copy, or null; it stays valid until the next
// lookup, which may find the file changed and read it again.
const std::string* FindProfileText(const char* path, const char* section, const char* key);

// Back to checking the file on every lookup, as before the first job
// asked for revalidation; for a process that runs more than one job.
void CheckProfilesOnEveryLookup();

// Drops what was read of the file at `path`, so that the next lookup reads
// it afresh; for a process that gives every job a new file there and keeps
// nothing of one job in the next.
void ForgetProfile(const std::string& path);

// Whether two section or key names are the same when ASCII case is ignored.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// Copies `text` into `buffer`, cut to `size` less one byte and zero-terminated;
// returns the number of characters copied. Size 0 leaves the buffer alone.
DWORD CopyProfileString(std::string_view text, LPSTR buffer, DWORD size);

}  // namespace tolvane
