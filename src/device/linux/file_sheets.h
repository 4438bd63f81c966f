// Cairo documents written to files: one file for a document of pages (PDF,
// PostScript), or one file per sheet (SVG, PNG). Either way the files are
// written under no name of their own and put at their targets by EndDoc
// (see output_file.h).
#pragma once

#include <string>
#include <vector>

#include "device/linux/cairo_device.h"
#include "device/linux/output_file.h"

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

// One file per sheet, named from the port's pattern (SheetFileName).
struct TSheetFileSheets : TCairoSheets {
  TSheetFileSheets(const TPrinterGeometry& geometry, const std::string& pattern);
  ~TSheetFileSheets() override;
  // Checks the pattern and starts the first sheet's file.
  bool Open(std::string& failure);
  bool BeginDocument(const std::string& name, std::string& failure) override;
  cairo_surface_t* BeginSheet(std::string& failure) override;
  bool EndSheet(std::string& failure) override;
  bool EndDocument(std::string& failure) override;
  void AbortDocument() override;

 protected:
  // The surface of a new sheet, whose file takes what goes to write.
  virtual cairo_surface_t* StartSurface(cairo_write_func_t write, void* closure) = 0;
  // Writes the sheet drawn on surface to write; false when cairo failed.
  virtual bool FinishSurface(cairo_surface_t* surface, cairo_write_func_t write,
                             void* closure) = 0;
  // Lets go of a sheet's surface (finished or not).
  virtual void ReleaseSurface(cairo_surface_t* surface) = 0;

  const TPrinterGeometry Geometry;

 private:
  std::string Pattern;
  TOutputFile Next;                // started ahead for the next sheet
  TOutputFile Sheet;               // the sheet being drawn
  std::vector<TOutputFile> Done;   // the document's finished sheets
  cairo_surface_t* Surface = nullptr;
  int Number = 0;
  bool Discarding = false;
  static cairo_status_t Write(void* closure, const unsigned char* data, unsigned int length);
  void DropSurface();
};

}  // namespace tolvane
