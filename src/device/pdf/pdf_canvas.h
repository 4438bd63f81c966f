// The drawing core of the backends that write documents of their own (the
// PDF file driver, the PDF that CUPS jobs stream, the PostScript file
// driver): device pixels onto the sheet with (0,0) at the printable area's
// top-left corner, fonts as the graphics device interface sizes them, each
// line's glyphs one run of text, bitmaps as images embedded once, every
// sheet written as it ends.
//
// A backend supplies where the bytes go (a TPdfOutput) and the document's
// format (a TPdfFormat, pdf_format.h) and takes the rest from here.
// Failures of the output surface at EndPage and EndDoc as a TJobFailure,
// so that the job ends with its failure code and aborts the document
// rather than reporting a report as printed that never reached its output.
#pragma once

#include <cstddef>
#include <string>

#include "device/device.h"

namespace tolvane {

// Where the bytes of a document go (a file, a print queue), one table
// per kind of output, its state in the output pointer. Called in document
// order: Prepare at StartDocA, Begin at the first sheet (a document without
// sheets never begins), Write as sheets end, then Commit or Discard;
// Discard may also follow a failed call. Every entry must be set.
struct TPdfOutput {
  // False (failure says why) when the output cannot take a document now.
  bool (*Prepare)(void* output, std::string& failure);
  // The document's first sheet is about to be written; name is its name.
  bool (*Begin)(void* output, const std::string& name, std::string& failure);
  bool (*Write)(void* output, const void* data, size_t size);
  // Every byte is written: put the document in place.
  bool (*Commit)(void* output, std::string& failure);
  // Nothing of the document remains; an older output is untouched.
  void (*Discard)(void* output);
  // Why writing failed; empty when nothing more is known.
  std::string (*Failure)(const void* output);
  // DeleteDC, after the document was discarded: lets go of the output.
  void (*Release)(void* output);
};

// Where an output kind has nothing to do.
bool NoPdfPreparation(void* output, std::string& failure);
bool NoPdfBeginning(void* output, const std::string& name, std::string& failure);

// Makes the canvas that the Pdf* entries below draw on and puts it into
// dc->Data; it owns output from then on and releases it in PdfClose. Its
// documents are written in format, PDF unless another is given.
struct TPdfFormat;
extern const TPdfFormat PdfDocumentFormat;
void AttachPdfCanvas(TDeviceContext* dc, const TPdfOutput* kind, void* output,
                     const TPdfFormat* format = &PdfDocumentFormat);

void PdfDeviceCaps(TDeviceContext* dc, int index, int result);
void PdfStartDocument(TDeviceContext* dc, const char* docName);
void PdfStartPage(TDeviceContext* dc);
void PdfEndPage(TDeviceContext* dc);
void PdfEndDoc(TDeviceContext* dc);
void PdfAbortDoc(TDeviceContext* dc);
void PdfClose(TDeviceContext* dc);
void PdfSetBkMode(TDeviceContext* dc, int mode);
void PdfFontCreated(TDeviceContext* dc, const TGdiObject* font);
void PdfFontSelected(TDeviceContext* dc, const TGdiObject* font, const TGdiObject* previous);
void PdfFontDeleted(TDeviceContext* dc, const TGdiObject* font);
void PdfTextOutput(TDeviceContext* dc, int x, int y, const char* text, int count);
int PdfStretchDIBits(TDeviceContext* dc, const TStretchCall& call);

// The table of a PDF backend: its driver name, its own Open, the shared
// entries for everything else.
constexpr TDeviceBackend PdfBackend(const char* driver, bool (*open)(TDeviceContext*)) {
  return TDeviceBackend{driver,         open,           PdfDeviceCaps,   PdfStartDocument,
                        PdfStartPage,   PdfEndPage,     PdfEndDoc,       PdfAbortDoc,
                        PdfClose,       PdfSetBkMode,   PdfFontCreated,  PdfFontSelected,
                        PdfFontDeleted, PdfTextOutput,  PdfStretchDIBits};
}

}  // namespace tolvane
