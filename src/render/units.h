// Lengths of the print file are tenths of a millimetre (margins whole
// millimetres); only what is handed to the device is in device pixels.
#pragma once

#include <cstdint>

namespace tolvane {

// Tenths of a millimetre to device pixels, truncated toward zero.
int32_t ToDeviceX(double tenths);
int32_t ToDeviceY(double tenths);

// A margin of whole millimetres in device pixels: the millimetres go through
// the converter as if they were tenths, and the pixels come out times ten,
// so the offset is always a multiple of ten pixels.
int32_t MarginOffsetX(int32_t millimetres);
int32_t MarginOffsetY(int32_t millimetres);

// True when the page being read lies in the requested range.
bool PageInRange();

}  // namespace tolvane
