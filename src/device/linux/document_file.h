// Documents of pages written to one file (PostScript). The file is
// written under no name of its own and put at its target by EndDoc (see
// output_file.h).
#pragma once

#include <cairo.h>

#include <string>

#include "device/device.h"

namespace tolvane {

// Makes a document surface for a file: the geometry, the document's name,
// where its bytes go.
typedef cairo_surface_t* (*TDocumentSurfaceMaker)(const TPrinterGeometry& geometry,
                                                  const std::string& title,
                                                  cairo_write_func_t write, void* closure);

// Opens a context whose port names one file that takes the whole document.
// The file is started here, so an output that cannot be written refuses the
// context at once.
bool OpenDocumentFile(TDeviceContext* dc, TDocumentSurfaceMaker maker);

}  // namespace tolvane
