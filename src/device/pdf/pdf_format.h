// The format of a document that the PDF canvas draws: the canvas builds
// each sheet's content from the drawing calls (the operators of a PDF
// content stream), and a format turns that into a file of its kind (a PDF
// file of objects, a PostScript program that runs the content as it is).
// A new kind of output is one format table in a file of its own.
#pragma once

#include <string>
#include <string_view>

#include "device/pdf/pdf_fonts.h"
#include "device/pdf/pdf_images.h"
#include "device/pdf/pdf_text.h"
#include "device/pdf/pdf_writer.h"
#include "device/sheet_frame.h"

namespace tolvane {

struct TPdfFormat;

// What a document holds while it is written, whatever its format.
struct TPdfDocument {
  const TPdfFormat* Format = nullptr;
  std::string Name;       // the document's
  TSheetFrame Frame{};    // the sheet in points
  TPdfWriter Writer;      // where the bytes go
  TPdfFonts Fonts;        // every face drawn with, /F<Name> in the content
  TPdfImages Images;      // every bitmap drawn, /Im<Name> in the content
  void* State = nullptr;  // the format's own, from Begin to Forget
};

// Called in document order: Begin at the first sheet, AddFont and AddImage
// while sheets are drawn, WriteSheet as each one ends, Finish after the
// last; Forget when the document is done with (also after a failure).
struct TPdfFormat {
  // Starts the file on the sink.
  void (*Begin)(TPdfDocument& document, TPdfSink sink, void* closure);
  // A face new to the document, first drawn as drawn describes.
  void (*AddFont)(TPdfDocument& document, TPdfFont& font, const TPdfTextFont& drawn);
  // A bitmap new to the document: its pixels, rows of red, green and blue.
  void (*AddImage)(TPdfDocument& document, TPdfImage& image, std::string_view rgb);
  // A finished sheet and the content that draws it.
  void (*WriteSheet)(TPdfDocument& document, const std::string& content);
  // What the file needs after its last sheet.
  void (*Finish)(TPdfDocument& document);
  // Lets go of the format's state.
  void (*Forget)(TPdfDocument& document);
};

extern const TPdfFormat PdfDocumentFormat;
extern const TPdfFormat PsDocumentFormat;

}  // namespace tolvane
