#pragma once

namespace tolvane {

// Reads the job's settings from tolvane.ini: the font face, the two margins
// and the conversion table.
void ReadConfiguration();

}  // namespace tolvane
