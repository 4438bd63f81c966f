// Documents whose sheets are the pages of one surface (PostScript). The surface is made at the first sheet, so a
// document without sheets never makes one; its bytes go to the document's
// output, and none after the document was given up.
#pragma once

#include <cairo.h>

#include <string>

#include "device/linux/cairo_device.h"

namespace tolvane {

struct TPagedSheets;

// Where the bytes of a paged document go (a file, a print queue): one table
// per kind of output, its state in TPagedSheets::Output. Every entry must be
// set.
struct TPagedOutput {
  // StartDocA: readies the output for a new document. False (failure says
  // why) when it cannot take one.
  bool (*Prepare)(TPagedSheets& sheets, std::string& failure);
  // Makes the document's surface on write and closure.
  cairo_surface_t* (*CreateSurface)(TPagedSheets& sheets, cairo_write_func_t write,
                                    void* closure);
  // The document's next bytes. False when they cannot be written.
  bool (*WriteBytes)(TPagedSheets& sheets, const unsigned char* data, unsigned int length);
  // Every byte of the document has been written: put it in place.
  bool (*Commit)(TPagedSheets& sheets, std::string& failure);
  // Drops what was written of the document.
  void (*Discard)(TPagedSheets& sheets);
  // Why writing failed; empty when cairo's own status says enough.
  std::string (*WriteFailure)(const TPagedSheets& sheets);
  // Lets go of the output's state when the context is deleted.
  void (*Release)(TPagedSheets& sheets);
};

struct TPagedSheets {
  const TPagedOutput* Kind = nullptr;
  void* Output = nullptr;  // the output's own state
  TPrinterGeometry Geometry{};
  std::string DocumentName;
  cairo_surface_t* Surface = nullptr;
  int Sheets = 0;
  // Set while a surface is torn down unfinished: cairo still writes its
  // trailer then, and those bytes go nowhere.
  bool Discarding = false;
};

// The sheets of a paged document on output, for AttachCairoCanvas; they
// take over output and release it through kind->Release.
TSheets NewPagedSheets(const TPrinterGeometry& geometry, const TPagedOutput* kind, void* output);

// Where an output kind has nothing to ready or to say.
bool NoPreparation(TPagedSheets& sheets, std::string& failure);
std::string NoWriteFailure(const TPagedSheets& sheets);

}  // namespace tolvane
