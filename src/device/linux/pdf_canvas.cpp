#include "device/linux/pdf_canvas.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "device/linux/cairo_device.h"
#include "device/linux/dib_decode.h"
#include "device/linux/pdf_images.h"
#include "device/linux/pdf_text.h"
#include "device/linux/pdf_writer.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

// Font descriptions a document keeps ready; a job uses two or three.
constexpr size_t FontCacheSize = 32;

struct TPdfCanvas {
  const TPdfOutput* Kind = nullptr;
  void* Output = nullptr;
  TPrinterGeometry Geometry{};
  TSheetFrame Frame{};            // the sheet in points
  double PrintableWidth = 0;      // the printable area in device pixels
  double PrintableHeight = 0;
  bool Margins = false;           // the printable area is less than the sheet
  std::string Name;               // the document's
  bool Started = false;           // the document's file has begun
  bool Failed = false;            // the output failed during this document
  std::string Failure;
  TPdfWriter Writer;
  int Catalog = 0, PageTree = 0, Resources = 0, Info = 0;
  std::vector<int> Pages;
  TPdfFonts Fonts;
  TPdfImages Images;
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

// Fonts are told apart by what changes their look.
bool SameFont(const LOGFONTA& a, const LOGFONTA& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth &&
         a.lfEscapement == b.lfEscapement && a.lfWeight == b.lfWeight &&
         (a.lfItalic != 0) == (b.lfItalic != 0) &&
         strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

TPdfTextFont* CurrentFont(TPdfCanvas& canvas) {
  if (canvas.Current) return canvas.Current;
  auto& fonts = canvas.TextFonts;
  for (size_t i = 0; i < fonts.size(); ++i) {
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
  if (font->Face) font->Font = &PdfFontFor(canvas.Fonts, canvas.Writer, *font->Face);
  fonts.push_back(std::move(font));
  return canvas.Current = fonts.back().get();
}

std::string Reference(int number) {
  std::string text;
  AppendInteger(text, number);
  return text + " 0 R";
}

// Every sheet's content maps device pixels onto the sheet (y downward, the
// origin at the printable area's corner) and clips to the printable area
// where the sheet has margins.
void BeginContent(TPdfCanvas& canvas) {
  const TSheetFrame& frame = canvas.Frame;
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
  if (!canvas.Kind->Begin(canvas.Output, canvas.Name, canvas.Failure)) return false;
  StartPdf(canvas.Writer, SinkToOutput, &canvas);
  canvas.Catalog = ReserveObject(canvas.Writer);
  canvas.PageTree = ReserveObject(canvas.Writer);
  canvas.Resources = ReserveObject(canvas.Writer);
  canvas.Info = ReserveObject(canvas.Writer);
  canvas.Started = true;
  return true;
}

void NoteWriteFailure(TPdfCanvas& canvas) {
  if (!canvas.Writer.Failed || canvas.Failed) return;
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
  TPdfWriter& writer = canvas.Writer;
  int content = ReserveObject(writer), page = ReserveObject(writer);
  WriteStream(writer, content, "", canvas.Content);
  std::string dictionary = "<</Type/Page/Parent " + Reference(canvas.PageTree) + "/MediaBox[0 0 ";
  AppendNumber(dictionary, canvas.Frame.Width);
  dictionary += ' ';
  AppendNumber(dictionary, canvas.Frame.Height);
  dictionary += "]/Resources " + Reference(canvas.Resources) + "/Contents " +
                Reference(content) + ">>";
  WriteObject(writer, page, dictionary);
  canvas.Pages.push_back(page);
  canvas.Content.clear();
  FlushPdf(writer);
  NoteWriteFailure(canvas);
}

std::string ResourceDictionary(const TPdfCanvas& canvas) {
  std::string text = "<</Font<<";
  for (const auto& font : canvas.Fonts.Fonts) {
    text += "/F";
    AppendInteger(text, font->Name);
    text += ' ' + Reference(font->Number);
  }
  text += ">>/XObject<<";
  for (const TPdfImage& image : canvas.Images.Images) {
    text += "/Im";
    AppendInteger(text, image.Name);
    text += ' ' + Reference(image.Number);
  }
  return text + ">>>>";
}

// What a document needs after its last sheet: fonts, resources, the page
// tree, catalog, information and cross-references.
bool FinishFile(TPdfCanvas& canvas) {
  TPdfWriter& writer = canvas.Writer;
  WritePdfFonts(writer, canvas.Fonts);
  WriteObject(writer, canvas.Resources, ResourceDictionary(canvas));
  std::string tree = "<</Type/Pages/Count ";
  AppendInteger(tree, int64_t(canvas.Pages.size()));
  tree += "/Kids[";
  for (int page : canvas.Pages) tree += Reference(page) + ' ';
  WriteObject(writer, canvas.PageTree, tree + "]>>");
  WriteObject(writer, canvas.Catalog, "<</Type/Catalog/Pages " + Reference(canvas.PageTree) + ">>");
  std::string info = "<</Title";
  AppendLiteral(info, canvas.Name);
  info += "/Creator(Tolvane " TOLVANE_VERSION ")/Producer(Tolvane " TOLVANE_VERSION ")>>";
  WriteObject(writer, canvas.Info, info);
  FinishPdf(writer, canvas.Catalog, canvas.Info);
  NoteWriteFailure(canvas);
  return !canvas.Failed;
}

// Lets go of what the document held; its output is as the caller left it.
void ForgetDocument(TPdfCanvas& canvas) {
  canvas.SheetOpen = false;
  canvas.Content.clear();
  canvas.Current = nullptr;
  canvas.TextFonts.clear();
  canvas.Fonts = TPdfFonts{};
  canvas.Images = TPdfImages{};
  canvas.Pages.clear();
  ReleasePdf(canvas.Writer);
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

void AttachPdfCanvas(TDeviceContext* dc, const TPdfOutput* kind, void* output) {
  auto canvas = std::make_unique<TPdfCanvas>();
  canvas->Kind = kind;
  canvas->Output = output;
  canvas->Geometry = dc->Geometry;
  canvas->Frame = SheetFrame(dc->Geometry, true);
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
  canvas.Name = docName ? docName : "";
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

void PdfTextOutput(TDeviceContext* dc, int x, int y, const char* text, int count) {
  TPdfCanvas& canvas = Canvas(dc);
  if (!dc->InPage || !canvas.SheetOpen || count <= 0) return;
  TPdfTextFont* font = CurrentFont(canvas);
  if (!font->Font) return;
  const TFaceGlyphs& glyphs = *font->Glyphs;
  const TFontLayout& layout = font->Layout;
  if (!canvas.Transparent) {
    double advance = 0;
    for (int i = 0; i < count; ++i) advance += glyphs.Advance[static_cast<unsigned char>(text[i])];
    PaintBackground(canvas, *font, x, y, advance);
  }
  double originX = x + layout.BaselineX;
  double originY = y + layout.BaselineY;
  for (int i = 0; i < count; ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    AddPdfGlyph(canvas.Content, canvas.Text, *font, byte, originX, originY,
                canvas.PrintableWidth, canvas.PrintableHeight);
    originX += glyphs.Advance[byte] * layout.AdvanceX;
    originY += glyphs.Advance[byte] * layout.AdvanceY;
  }
}

int PdfStretchDIBits(TDeviceContext* dc, const TStretchCall& call) {
  TPdfCanvas& canvas = Canvas(dc);
  if (call.Rop != SRCCOPY || call.Usage != DIB_RGB_COLORS) return 0;
  if (dc->InPage && canvas.SheetOpen) {
    const TPdfImage* image = PdfImageFor(canvas.Images, canvas.Writer, call.Block);
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
