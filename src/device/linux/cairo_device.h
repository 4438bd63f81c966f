// The drawing core that every cairo output kind shares (PS, SVG, PNG, and
// any backend that wants sheets drawn the way these draw them).
//
// A backend supplies only where its sheets go (a TSheets) and takes the
// rest from here: device pixels mapped onto the sheet with (0,0) at the
// printable area's top-left corner, fonts as the graphics device interface
// sizes them, glyphs gathered into one drawing call per run of one font,
// bitmaps decoded and stretched. Its backend table is CairoBackend(driver,
// open), its Open makes the sheets and calls AttachCairoCanvas.
//
// Failures of the output (a full disk, a queue that went away) surface at
// EndPage and EndDoc as a TJobFailure, so that the job ends with its failure
// code and aborts the document rather than reporting a report as printed
// that never reached its output.
#pragma once

#include <cairo.h>

#include <string>

#include "device/device.h"
#include "device/sheet_frame.h"

namespace tolvane {

// Where the sheets of a cairo backend's documents go: one table per kind of
// output, filled by the file that implements it, and the kind's own data in
// TSheets. The canvas calls it in document order: BeginDocument, then
// BeginSheet / EndSheet per sheet, then EndDocument or AbortDocument;
// AbortDocument may also follow a failed call. Every entry must be set.
struct TSheets;
struct TSheetKind {
  // StartDocA. False when the output cannot take a document (failure says
  // why); its sheets are then not drawn and the document fails.
  bool (*BeginDocument)(TSheets& sheets, const std::string& name, std::string& failure);
  // The surface the next sheet is drawn on, the whole sheet with (0,0) at its
  // top-left corner; owned by the sheets. Null when the output has failed.
  cairo_surface_t* (*BeginSheet)(TSheets& sheets, std::string& failure);
  // The sheet is drawn. False when the output failed (failure says why).
  bool (*EndSheet)(TSheets& sheets, std::string& failure);
  // EndDoc: makes the document final where it goes. A document without
  // sheets leaves nothing anywhere. False when that failed.
  bool (*EndDocument)(TSheets& sheets, std::string& failure);
  // AbortDoc, or the context deleted inside a document: nothing of the
  // document remains, and an older output at the same place is untouched.
  void (*AbortDocument)(TSheets& sheets);
  // DeleteDC, after the document was aborted: lets go of everything the
  // output holds, Data included.
  void (*Release)(TSheets& sheets);
};

struct TSheets {
  const TSheetKind* Kind;
  void* Data;     // the kind's own state
  bool InPoints;  // the surfaces measure in points (72 to the inch), else in device pixels
};

// Makes the canvas that the Cairo* entries below draw on and puts it into
// dc->Data; the canvas owns the sheets from then on and releases them in
// CairoClose.
void AttachCairoCanvas(TDeviceContext* dc, const TSheets& sheets);

// The backend entries of a context whose Data is a canvas.
void CairoDeviceCaps(TDeviceContext* dc, int index, int result);
void CairoStartDocument(TDeviceContext* dc, const char* docName);
void CairoStartPage(TDeviceContext* dc);
void CairoEndPage(TDeviceContext* dc);
void CairoEndDoc(TDeviceContext* dc);
void CairoAbortDoc(TDeviceContext* dc);
void CairoClose(TDeviceContext* dc);
void CairoSetBkMode(TDeviceContext* dc, int mode);
void CairoFontCreated(TDeviceContext* dc, const TGdiObject* font);
void CairoFontSelected(TDeviceContext* dc, const TGdiObject* font, const TGdiObject* previous);
void CairoFontDeleted(TDeviceContext* dc, const TGdiObject* font);
void CairoTextOutput(TDeviceContext* dc, int x, int y, const char* text, int count);
int CairoStretchDIBits(TDeviceContext* dc, const TStretchCall& call);

// The table of a cairo backend: its driver name, its own Open, the shared
// entries for everything else.
constexpr TDeviceBackend CairoBackend(const char* driver, bool (*open)(TDeviceContext*)) {
  return TDeviceBackend{driver,           open,
                        CairoDeviceCaps,  CairoStartDocument,
                        CairoStartPage,   CairoEndPage,
                        CairoEndDoc,      CairoAbortDoc,
                        CairoClose,       CairoSetBkMode,
                        CairoFontCreated, CairoFontSelected,
                        CairoFontDeleted, CairoTextOutput,
                        CairoStretchDIBits};
}

}  // namespace tolvane
