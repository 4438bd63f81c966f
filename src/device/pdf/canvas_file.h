// Documents of the canvas (pdf_canvas.h) written to one file at the port's
// path, or to standard output for "-". The file is written under no name
// of its own and put at its target by EndDoc (see output_file.h).
#pragma once

#include <string>

#include "device/device.h"

namespace tolvane {

struct TPdfFormat;

// Opens a context whose documents are files of format. The file is started
// here, so an output that cannot be written refuses the context at once.
bool OpenCanvasFile(TDeviceContext* dc, const TPdfFormat* format);

// The same with the file at target rather than the port, and committed
// called with the file's path once a document is in place there.
bool OpenCanvasFileAt(TDeviceContext* dc, const TPdfFormat* format, const std::string& target,
                      void (*committed)(const std::string& path));

}  // namespace tolvane
