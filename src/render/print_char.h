#pragma once

#include <cstdint>

namespace tolvane {

// Draws one byte of the print file at the pen and moves the pen one cell on,
// or to the next tab stop.
void PrintChar(uint8_t byte);

}  // namespace tolvane
