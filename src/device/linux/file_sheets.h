// Cairo documents written one file per sheet (SVG, PNG), the files named
// from the port's pattern (SheetFileName). The files are written under no
// name of their own and put at their targets by EndDoc (see output_file.h).
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "device/linux/cairo_device.h"
#include "device/linux/output_file.h"

namespace tolvane {

struct TSheetFiles;

// How the picture of one sheet is made and written: one table per picture
// format, its state in TSheetFiles::FormatData. Every entry must be set.
struct TSheetFormat {
  bool InPoints;  // its surfaces measure in points, else in device pixels
  // The surface of a new sheet, whose file takes what goes to write.
  cairo_surface_t* (*StartSurface)(TSheetFiles& files, cairo_write_func_t write, void* closure);
  // Writes the sheet drawn on surface to write; false when cairo failed.
  bool (*FinishSurface)(TSheetFiles& files, cairo_surface_t* surface, cairo_write_func_t write,
                        void* closure);
  // Lets go of a sheet's surface (finished or not).
  void (*ReleaseSurface)(TSheetFiles& files, cairo_surface_t* surface);
  // Lets go of the format's state when the context is deleted.
  void (*Release)(TSheetFiles& files);
};

struct TSheetFiles {
  const TSheetFormat* Format = nullptr;
  void* FormatData = nullptr;  // the format's own state
  TPrinterGeometry Geometry{};
  std::string Pattern;
  TOutputFile Next;               // started ahead for the next sheet
  TOutputFile Sheet;              // the sheet being drawn
  std::vector<TOutputFile> Done;  // the document's finished sheets
  cairo_surface_t* Surface = nullptr;
  int Number = 0;
  // Set while a surface is torn down unfinished: what cairo still writes
  // then goes nowhere.
  bool Discarding = false;
};

// Opens a context whose port is the pattern of its sheet files, for sheets
// drawn in format. The pattern is checked and the first sheet's file started
// here, so an output that cannot be written refuses the context at once.
bool OpenSheetFiles(TDeviceContext* dc, const TSheetFormat* format);

}  // namespace tolvane
