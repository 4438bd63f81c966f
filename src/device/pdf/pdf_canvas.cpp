#include "device/pdf/pdf_canvas.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "device/bitmaps/dib_decode.h"
#include "device/pdf/pdf_format.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

// Font descriptions a document keeps ready; a job uses two or three.
constexpr size_t FontCacheSize = 32;

struct TPdfCanvas {
  const TPdfOutput* Kind = nullptr;
  void* Output = nullptr;
  TPrinterGeometry Geometry{};
  double PrintableWidth = 0;      // the printable area in device pixels
  double PrintableHeight = 0;
  bool Margins = false;           // the printable area is less than the sheet
  bool Started = false;           // the document's file has begun
  bool Failed = false;            // the output failed during this document
  std::string Failure;
  TPdfDocument Document;
  bool SheetOpen = false;
  std::string Content;            // the open sheet's content
  TPdfText Text;
  LOGFONTA Selected{};
  TPdfTextFont* Current = nullptr;  // Selected made ready, once drawn with
  std::vector<std::unique_ptr<TPdfTextFont>> TextFonts;  // least recently used first
  bool Transparent = false;
};

TPdfCanvas& Canvas(TDeviceContext* dc) { return *static_cast<TPdfCanvas*>(dc->Data); }

bool SinkToOutput(void* closure, const void* data, size_t size) {
  auto* canvas = static_cast<TPdfCanvas*>(closure);
  return canvas->Kind->Write(canvas->Output, data, size);
}

// Fonts are told apart by what changes their look. A job's fonts are
// copies of one description, whose names are alike to the last byte: that
// is looked at first, and only names that differ are read up to their end.
bool SameFont(const LOGFONTA& a, const LOGFONTA& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth &&
         a.lfEscapement == b.lfEscapement && a.lfWeight == b.lfWeight &&
         (a.lfItalic != 0) == (b.lfItalic != 0) &&
         (std::memcmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0 ||
          strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0);
}

// A report switches between the fonts it drew with last, so the search
// starts at the most recently used; no two fonts of the list are the same.
TPdfTextFont* CurrentFont(TPdfCanvas& canvas) {
  if (canvas.Current) return canvas.Current;
  auto& fonts = canvas.TextFonts;
  for (size_t i = fonts.size(); i-- > 0;) {
    if (!SameFont(fonts[i]->Key, canvas.Selected)) continue;
    std::rotate(fonts.begin() + i, fonts.begin() + i + 1, fonts.end());
    return canvas.Current = fonts.back().get();
  }
  if (fonts.size() >= FontCacheSize) {
    // The run may be of the font let go.
    EndPdfText(canvas.Content, canvas.Text);
    fonts.erase(fonts.begin());
  }
  auto font = std::make_unique<TPdfTextFont>();
  PreparePdfTextFont(*font, canvas.Selected, canvas.Geometry);
  if (font->Face) {
    // The font switched from last is the likeliest to be switched back to.
    for (size_t i = fonts.size(); i-- > 0;)
      if (FramePdfTextFont(*font, *fonts[i])) break;
    TPdfDocument& document = canvas.Document;
    bool made = false;
    font->Font = &PdfFontFor(document.Fonts, *font->Face, made);
    if (made) document.Format->AddFont(document, *font->Font, *font);
    font->Sized = &PdfSizedFontFor(document.Fonts, *font->Font, font->Scale, false,
                                   FrameMap(*font));
    font->Fonts = &document.Fonts;
  }
  fonts.push_back(std::move(font));
  return canvas.Current = fonts.back().get();
}

// Every sheet's content maps device pixels onto the sheet (y downward, the
// origin at the printable area's corner) and clips to the printable area
// where the sheet has margins.
void BeginContent(TPdfCanvas& canvas) {
  const TSheetFrame& frame = canvas.Document.Frame;
  canvas.Content = "q ";
  for (double value : {frame.ScaleX, 0.0, 0.0, -frame.ScaleY, frame.OriginX,
                       frame.Height - frame.OriginY}) {
    AppendNumber(canvas.Content, value);
    canvas.Content += ' ';
  }
  canvas.Content += "cm\n";
  if (canvas.Margins) {
    canvas.Content += "0 0 ";
    AppendNumber(canvas.Content, canvas.PrintableWidth);
    canvas.Content += ' ';
    AppendNumber(canvas.Content, canvas.PrintableHeight);
    canvas.Content += " re W n\n";
  }
  ResetPdfText(canvas.Text);
}

bool StartFile(TPdfCanvas& canvas) {
  TPdfDocument& document = canvas.Document;
  if (!canvas.Kind->Begin(canvas.Output, document.Name, canvas.Failure)) return false;
  document.Format->Begin(document, SinkToOutput, &canvas);
  canvas.Started = true;
  return true;
}

void NoteWriteFailure(TPdfCanvas& canvas) {
  if (!canvas.Document.Writer.Failed || canvas.Failed) return;
  canvas.Failed = true;
  canvas.Failure = canvas.Kind->Failure(canvas.Output);
  if (canvas.Failure.empty()) canvas.Failure = "the output could not be written";
}

void FinishSheet(TPdfCanvas& canvas) {
  if (!canvas.SheetOpen) return;
  canvas.SheetOpen = false;
  if (canvas.Failed) return;
  EndPdfText(canvas.Content, canvas.Text);
  canvas.Content += "Q\n";
  TPdfDocument& document = canvas.Document;
  document.Format->WriteSheet(document, canvas.Content);
  canvas.Content.clear();
  FlushPdf(document.Writer);
  NoteWriteFailure(canvas);
}

// What a document needs after its last sheet.
bool FinishFile(TPdfCanvas& canvas) {
  TPdfDocument& document = canvas.Document;
  document.Format->Finish(document);
  FlushPdf(document.Writer);
  NoteWriteFailure(canvas);
  return !canvas.Failed;
}

// Lets go of what the document held; its output is as the caller left it.
void ForgetDocument(TPdfCanvas& canvas) {
  canvas.SheetOpen = false;
  canvas.Content.clear();
  canvas.Current = nullptr;
  canvas.TextFonts.clear();
  TPdfDocument& document = canvas.Document;
  document.Format->Forget(document);
  document.State = nullptr;
  document.Fonts = TPdfFonts{};
  document.Images = TPdfImages{};
  ReleasePdf(document.Writer);
  canvas.Started = false;
  canvas.Failed = false;
  canvas.Failure.clear();
}

// Forgets the document, and what it wrote is discarded.
void DropDocument(TPdfCanvas& canvas) {
  ForgetDocument(canvas);
  canvas.Kind->Discard(canvas.Output);
}

[[noreturn]] void RaiseOutputFailure(const std::string& failure) {
  RaiseJobFailure(failure.empty() ? "the output could not be written" : failure);
}

// An opaque background fills the cells of the text with white, as the
// context's default background colour.
void PaintBackground(TPdfCanvas& canvas, const TPdfTextFont& font, double x, double y,
                     double advance) {
  EndPdfText(canvas.Content, canvas.Text);
  const TFontLayout& layout = font.Layout;
  double ax = advance * layout.AdvanceX, ay = advance * layout.AdvanceY;
  std::string& content = canvas.Content;
  content += "1 g ";
  const double corners[4][2] = {{x, y},
                                {x + ax, y + ay},
                                {x + ax + layout.CellX, y + ay + layout.CellY},
                                {x + layout.CellX, y + layout.CellY}};
  for (int corner = 0; corner < 4; ++corner) {
    AppendNumber(content, corners[corner][0]);
    content += ' ';
    AppendNumber(content, corners[corner][1]);
    content += corner == 0 ? " m " : " l ";
  }
  content += "h f 0 g\n";
}

}  // namespace

bool NoPdfPreparation(void*, std::string&) { return true; }
bool NoPdfBeginning(void*, const std::string&, std::string&) { return true; }

void AttachPdfCanvas(TDeviceContext* dc, const TPdfOutput* kind, void* output,
                     const TPdfFormat* format) {
  auto canvas = std::make_unique<TPdfCanvas>();
  canvas->Kind = kind;
  canvas->Output = output;
  canvas->Geometry = dc->Geometry;
  canvas->Document.Format = format;
  canvas->Document.Frame = SheetFrame(dc->Geometry, true);
  const TPrinterGeometry& g = dc->Geometry;
  canvas->PrintableWidth =
      MicrometresToPixels(g.PaperWidthMicro - g.MarginLeftMicro - g.MarginRightMicro, g.DpiX);
  canvas->PrintableHeight =
      MicrometresToPixels(g.PaperHeightMicro - g.MarginTopMicro - g.MarginBottomMicro, g.DpiY);
  canvas->Margins = g.MarginLeftMicro > 0 || g.MarginTopMicro > 0 || g.MarginRightMicro > 0 ||
                    g.MarginBottomMicro > 0;
  if (dc->SelectedFont) canvas->Selected = dc->SelectedFont->Font;
  canvas->Transparent = dc->BkMode == TRANSPARENT;
  dc->Data = canvas.release();
}

void PdfDeviceCaps(TDeviceContext*, int, int) {}

void PdfStartDocument(TDeviceContext* dc, const char* docName) {
  if (dc->InDocument) return;
  TPdfCanvas& canvas = Canvas(dc);
  canvas.Failure.clear();
  canvas.Document.Name = docName ? docName : "";
  canvas.Failed = !canvas.Kind->Prepare(canvas.Output, canvas.Failure);
}

void PdfStartPage(TDeviceContext* dc) {
  if (!dc->InDocument || dc->InPage) return;
  TPdfCanvas& canvas = Canvas(dc);
  if (canvas.Failed) return;
  if (!canvas.Started && !StartFile(canvas)) {
    canvas.Failed = true;
    return;
  }
  BeginContent(canvas);
  canvas.SheetOpen = true;
}

void PdfEndPage(TDeviceContext* dc) {
  if (!dc->InPage) return;
  TPdfCanvas& canvas = Canvas(dc);
  FinishSheet(canvas);
  if (canvas.Failed) RaiseOutputFailure(canvas.Failure);
}

void PdfEndDoc(TDeviceContext* dc) {
  if (!dc->InDocument) return;
  TPdfCanvas& canvas = Canvas(dc);
  if (dc->InPage) FinishSheet(canvas);
  if (!canvas.Failed && !canvas.Started) {
    // A document without sheets leaves nothing anywhere.
    DropDocument(canvas);
    return;
  }
  std::string failure;
  if (canvas.Failed || !FinishFile(canvas)) {
    failure = canvas.Failure;
    DropDocument(canvas);
    RaiseOutputFailure(failure);
  }
  bool committed = canvas.Kind->Commit(canvas.Output, failure);
  ForgetDocument(canvas);
  if (!committed) RaiseOutputFailure(failure);
}

void PdfAbortDoc(TDeviceContext* dc) {
  if (!dc->InDocument) return;
  DropDocument(Canvas(dc));
}

void PdfClose(TDeviceContext* dc) {
  auto* canvas = static_cast<TPdfCanvas*>(dc->Data);
  if (!canvas) return;
  // A context deleted inside its document leaves nothing of it, and one
  // that never started a document lets go of the output it had ready.
  DropDocument(*canvas);
  canvas->Kind->Release(canvas->Output);
  delete canvas;
  dc->Data = nullptr;
}

void PdfSetBkMode(TDeviceContext* dc, int mode) {
  if (mode == TRANSPARENT || mode == OPAQUE) Canvas(dc).Transparent = mode == TRANSPARENT;
}

void PdfFontCreated(TDeviceContext*, const TGdiObject*) {}

void PdfFontSelected(TDeviceContext* dc, const TGdiObject* font, const TGdiObject*) {
  if (!font) return;
  TPdfCanvas& canvas = Canvas(dc);
  canvas.Selected = font->Font;
  canvas.Current = nullptr;  // made ready when something is drawn with it
}

void PdfFontDeleted(TDeviceContext*, const TGdiObject*) {}

// Text drawn before its font is looked for (after another was selected),
// or opaque text: kept out of the way of the drawing of a glyph, which runs
// for every byte of a report and so saves nothing it need not.
[[gnu::noinline]] void DrawTextOnTheWayRound(TPdfCanvas& canvas, int x, int y, const char* text,
                                           int count) {
  TPdfTextFont* font = CurrentFont(canvas);
  if (!font->Font) return;
  if (!canvas.Transparent) {
    double advance = 0;
    for (int i = 0; i < count; ++i)
      advance += font->Glyphs->Advance[static_cast<unsigned char>(text[i])];
    PaintBackground(canvas, *font, x, y, advance);
  }
  AddPdfGlyphs(canvas.Content, canvas.Text, *font, text, count, x + font->OriginX,
               y + font->OriginY, canvas.PrintableWidth, canvas.PrintableHeight);
}

void PdfTextOutput(TDeviceContext* dc, int x, int y, const char* text, int count) {
  TPdfCanvas& canvas = Canvas(dc);
  if (!dc->InPage || !canvas.SheetOpen || count <= 0) return;
  TPdfTextFont* font = canvas.Current;
  if (!font || !canvas.Transparent) return DrawTextOnTheWayRound(canvas, x, y, text, count);
  if (!font->Font) return;
  AddPdfGlyphs(canvas.Content, canvas.Text, *font, text, count, x + font->OriginX,
               y + font->OriginY, canvas.PrintableWidth, canvas.PrintableHeight);
}

int PdfStretchDIBits(TDeviceContext* dc, const TStretchCall& call) {
  TPdfCanvas& canvas = Canvas(dc);
  if (call.Rop != SRCCOPY || call.Usage != DIB_RGB_COLORS) return 0;
  if (dc->InPage && canvas.SheetOpen) {
    const TPdfImage* image = PdfImageFor(canvas.Document, call.Block);
    if (!image) return 0;
    EndPdfText(canvas.Content, canvas.Text);
    AppendImageDrawing(canvas.Content, *image, call, canvas.PrintableWidth,
                       canvas.PrintableHeight);
  } else {
    TDecodedBitmap bitmap;
    std::string reason;
    if (!DecodeDib(call.Block, bitmap, reason)) return 0;
  }
  int64_t lines = std::abs(int64_t{call.SrcHeight});
  return lines > INT32_MAX ? INT32_MAX : static_cast<int>(lines);
}

}  // namespace tolvane
