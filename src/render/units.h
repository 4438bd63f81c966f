// Lengths of the print file are tenths of a millimetre (margins whole
// millimetres); only what is handed to the device is in device pixels.
#pragma once

#include <cstdint>

#include "arithmetic.h"
#include "tolvane_state.h"

namespace tolvane {

// Tenths of a millimetre to device pixels at the given density: the product
// and the quotient are each rounded in extended precision, then the quotient
// is cut toward zero; only its low 32 bits reach the device. Inline because
// every character drawn converts its pen position once.
inline int32_t ToDevicePixels(double tenths, double pixelsPerMm) {
  TExtended product = CheckExtended(static_cast<TExtended>(tenths) * pixelsPerMm);
  // A finite product divided by ten stays finite: no check is needed.
  TExtended quotient = product / 10.0L;
  return WrapTo32(TruncateToInt64(quotient));
}

// Tenths of a millimetre to device pixels, truncated toward zero.
int32_t ToDeviceX(double tenths);
int32_t ToDeviceY(double tenths);

// A margin of whole millimetres in device pixels: the millimetres go through
// the converter as if they were tenths, and the pixels come out times ten,
// so the offset is always a multiple of ten pixels.
int32_t MarginOffsetX(int32_t millimetres);
int32_t MarginOffsetY(int32_t millimetres);

// True when the page being read lies in the requested range.
inline bool PageInRange() {
  return PrintState.FirstPage <= PrintState.CurrentPage &&
         PrintState.CurrentPage <= PrintState.LastPage;
}

}  // namespace tolvane
