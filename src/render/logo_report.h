// What the logo warnings say below their fixed text: the file that was
// tried, as a path the user can look for.
#pragma once

#include <string>

namespace tolvane {

// "logo file 'logo.bmp' (looked for as /srv/app/logo.bmp): No such file or
// directory"; error is the system's error number of the failed open.
std::string MissingLogoDetail(const std::string& name, int error);

}  // namespace tolvane
