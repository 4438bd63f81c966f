// The job font and the lazy start of device pages.
#pragma once

#include <cstdint>

namespace tolvane {

// Builds the job font from the cell size, weight and orientation, and selects
// it into the printer's context in place of the previous one.
void SelectJobFont();

// Begins the device page when one is pending: a page reaches the device only
// when something is about to be drawn on it.
void BeginPageIfPending();

// The sheets begun since the count was last set to 0.
extern int64_t SheetsBegun;

}  // namespace tolvane
