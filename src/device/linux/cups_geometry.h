// What a CUPS queue says about its paper: the default media with its
// margins, and the default resolution. A printer's section in the system
// printer profile still has the last word on each of them.
#pragma once

#include <cups/cups.h>

#include <cstdint>

#include "device/device.h"

namespace tolvane {

// Used when the queue names no resolution of its own.
constexpr int32_t CupsDefaultDpi = 300;

// A resolution as IPP gives it, in dots per inch (dots per centimetre are
// converted and rounded); 0 when it is no usable resolution.
int32_t DotsPerInch(int value, ipp_res_t units);

// The geometry of a printer whose default sheet is `media` (sizes and
// margins in hundredths of a millimetre, as libcups gives them) at the given
// resolution; what is unusable (no size, negative margins, no resolution)
// is replaced by the program's defaults: A4 without margins, 300 dpi.
TPrinterGeometry CupsMediaGeometry(const cups_size_t* media, int32_t dpiX, int32_t dpiY);

// Asks the scheduler for the default media (the user's lpoptions choice,
// else the queue's media-default) and resolution of dest. The printer's
// section of the system printer profile goes over it (ReadPrinterGeometry).
TPrinterGeometry ReadCupsQueueGeometry(http_t* http, cups_dest_t* dest);

}  // namespace tolvane
