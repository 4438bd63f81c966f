#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvane {

// Draws one byte of the print file at the pen and moves the pen one cell on,
// or to the next tab stop.
void PrintChar(uint8_t byte);

// Draws count bytes one after another, as PrintChar would, each its glyph.
void PrintChars(const uint8_t* bytes, size_t count);

}  // namespace tolvane
