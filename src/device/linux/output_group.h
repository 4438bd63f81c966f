// Output files that take their names together, such as the sheets of one
// document: all of them, or none.
#pragma once

#include <string>
#include <vector>

#include "device/linux/output_file.h"

namespace tolvane {

// Puts every file at its target. When one cannot take its name, those
// already put are taken back and the older files restored, so a failed
// group changes nothing. The older files wait under hidden names until
// the files are discarded, which the caller does in any case.
bool CommitOutputFiles(std::vector<TOutputFile>& files, std::string& failure);

}  // namespace tolvane
