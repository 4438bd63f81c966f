#include "device/linux/cairo_device.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "device/linux/cairo_fonts.h"
#include "device/bitmaps/dib_decode.h"
#include "device/linux/raster_glyphs.h"
#include "device/bitmaps/stretch_placement.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

// Scaled fonts a context keeps; a job uses two or three at a time.
constexpr size_t FontCacheSize = 32;

// The last bitmap painted, kept for the next call: a letterhead repeats its
// logo on every sheet, and a document surface then embeds it once.
struct TBitmapCache {
  uint32_t Crc = 0;
  size_t Size = 0;
  int64_t BitsOffset = 0;
  cairo_surface_t* Surface = nullptr;
  bool BottomUp = true;
};

struct TCanvas {
  TPrinterGeometry Geometry;
  TSheets Sheets;
  TSheetFrame Frame;
  cairo_matrix_t FontCtm;         // device pixels to surface units, without the shift
  double PrintableWidth = 0;      // the printable area in device pixels
  double PrintableHeight = 0;
  bool Margins = false;           // the printable area is less than the sheet
  bool DocumentFailed = false;    // the output failed during this document
  std::string Failure;
  cairo_t* Cr = nullptr;          // the open sheet; null when none is drawn
  LOGFONTA Selected{};
  TFontInstance* Current = nullptr;  // Selected made ready, once drawn with
  std::vector<std::unique_ptr<TFontInstance>> Fonts;  // least recently used first
  std::vector<cairo_glyph_t> Batch;  // glyphs not yet drawn, all of BatchFont
  std::vector<cairo_glyph_t> EdgeBatch;  // those of them that reach into the margins
  std::vector<cairo_glyph_t> OutlineBatch;  // those of them filled as outlines
  TFontInstance* BatchFont = nullptr;
  double BatchReach = 0;  // FontReach of BatchFont
  bool Transparent = false;  // a new context paints text backgrounds
  bool Raster = false;       // the sheet is an image: glyphs are tried first
  // How each byte's glyph goes on a raster sheet, per font drawn with.
  std::map<const TFontInstance*, std::array<TGlyphWay, 256>> GlyphWays;
  TBitmapCache Bitmap;
};

TCanvas& Canvas(TDeviceContext* dc) { return *static_cast<TCanvas*>(dc->Data); }

// Fonts are told apart by what changes their look; two creations of the
// same description share one scaled font.
bool SameFont(const LOGFONTA& a, const LOGFONTA& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth &&
         a.lfEscapement == b.lfEscapement && a.lfWeight == b.lfWeight &&
         (a.lfItalic != 0) == (b.lfItalic != 0) &&
         strncmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

// Keeps a drawing inside the printable area; the sheet's edge needs no
// help. A clip costs every drawing call under it a good deal of cairo's
// time, so it is set only around what needs it.
void ClipToPrintableArea(TCanvas& canvas) {
  cairo_save(canvas.Cr);
  cairo_rectangle(canvas.Cr, 0, 0, canvas.PrintableWidth, canvas.PrintableHeight);
  cairo_clip(canvas.Cr);
}

void ClearGlyphs(TCanvas& canvas) {
  canvas.Batch.clear();
  canvas.EdgeBatch.clear();
  canvas.OutlineBatch.clear();
}

void FlushGlyphs(TCanvas& canvas) {
  if (canvas.Cr && canvas.BatchFont && canvas.BatchFont->Font) {
    cairo_set_scaled_font(canvas.Cr, canvas.BatchFont->Font);
    if (!canvas.Batch.empty())
      cairo_show_glyphs(canvas.Cr, canvas.Batch.data(), static_cast<int>(canvas.Batch.size()));
    if (!canvas.EdgeBatch.empty()) {
      ClipToPrintableArea(canvas);
      cairo_show_glyphs(canvas.Cr, canvas.EdgeBatch.data(),
                        static_cast<int>(canvas.EdgeBatch.size()));
      cairo_restore(canvas.Cr);
    }
    if (!canvas.OutlineBatch.empty()) {
      if (canvas.Margins) ClipToPrintableArea(canvas);
      cairo_glyph_path(canvas.Cr, canvas.OutlineBatch.data(),
                       static_cast<int>(canvas.OutlineBatch.size()));
      cairo_fill(canvas.Cr);
      if (canvas.Margins) cairo_restore(canvas.Cr);
    }
  }
  ClearGlyphs(canvas);
}

TFontInstance* CurrentFont(TCanvas& canvas) {
  if (canvas.Current) return canvas.Current;
  auto& fonts = canvas.Fonts;
  for (size_t i = 0; i < fonts.size(); ++i) {
    if (!SameFont(fonts[i]->Key, canvas.Selected)) continue;
    std::rotate(fonts.begin() + i, fonts.begin() + i + 1, fonts.end());
    return canvas.Current = fonts.back().get();
  }
  if (fonts.size() >= FontCacheSize) {
    if (canvas.BatchFont == fonts.front().get()) {
      FlushGlyphs(canvas);
      canvas.BatchFont = nullptr;
    }
    canvas.GlyphWays.erase(fonts.front().get());
    ReleaseFontInstance(*fonts.front());
    fonts.erase(fonts.begin());
  }
  auto instance = std::make_unique<TFontInstance>();
  BuildFontInstance(canvas.Selected, canvas.Geometry, canvas.FontCtm, *instance);
  fonts.push_back(std::move(instance));
  return canvas.Current = fonts.back().get();
}

void ReleaseBitmap(TBitmapCache& bitmap) {
  if (bitmap.Surface) cairo_surface_destroy(bitmap.Surface);
  bitmap = TBitmapCache{};
}

// Ends the sheet being drawn: the glyphs still waiting go on it first.
void FinishSheet(TCanvas& canvas) {
  FlushGlyphs(canvas);
  canvas.BatchFont = nullptr;
  bool drawn = canvas.Cr != nullptr;
  if (canvas.Cr) cairo_destroy(canvas.Cr);
  canvas.Cr = nullptr;
  if (!drawn || canvas.DocumentFailed) return;
  std::string failure;
  if (!canvas.Sheets.Kind->EndSheet(canvas.Sheets, failure)) {
    canvas.DocumentFailed = true;
    canvas.Failure = failure;
  }
}

void DropDocument(TCanvas& canvas) {
  ClearGlyphs(canvas);
  canvas.BatchFont = nullptr;
  if (canvas.Cr) cairo_destroy(canvas.Cr);
  canvas.Cr = nullptr;
  canvas.Sheets.Kind->AbortDocument(canvas.Sheets);
  canvas.DocumentFailed = false;
  canvas.Failure.clear();
}

[[noreturn]] void RaiseOutputFailure(TCanvas& canvas) {
  std::string failure = canvas.Failure.empty() ? "the output could not be written" : canvas.Failure;
  RaiseJobFailure(failure);
}

// How far a glyph's ink may lie from its origin: one and a half ems along
// the longer of the font's axes, whatever the turn, is more than any
// outline of a text face reaches.
double FontReach(const TFontInstance& font) {
  const TFontMatrix& m = font.Layout.Matrix;
  return 1.5 * std::max(std::hypot(m.XX, m.YX), std::hypot(m.XY, m.YY)) + 1;
}

// Sorts a glyph by where its ink can fall: wholly inside the printable area
// (drawn as it is), across its edge (drawn clipped), or wholly outside (left
// out, which also keeps far-off coordinates from cairo's fixed-point
// arithmetic).
void AddGlyph(TCanvas& canvas, unsigned long glyph, double x, double y, double reach,
              TGlyphWay way) {
  if (x < -reach || y < -reach || x > canvas.PrintableWidth + reach ||
      y > canvas.PrintableHeight + reach || way == TGlyphWay::None)
    return;
  if (way == TGlyphWay::Outline) {
    canvas.OutlineBatch.push_back(cairo_glyph_t{glyph, x, y});
    return;
  }
  bool inside = x >= reach && y >= reach && x <= canvas.PrintableWidth - reach &&
                y <= canvas.PrintableHeight - reach;
  (inside || !canvas.Margins ? canvas.Batch : canvas.EdgeBatch).push_back(cairo_glyph_t{glyph, x, y});
}

// How the glyph of byte is drawn: as a glyph, except on a raster sheet,
// where a glyph that cannot be rasterised is filled as its outline, or else
// left out with a word on standard error.
TGlyphWay GlyphWay(TCanvas& canvas, const TFontInstance& font, unsigned char byte) {
  if (!canvas.Raster) return TGlyphWay::Glyph;
  TGlyphWay& way = canvas.GlyphWays[&font][byte];
  if (way != TGlyphWay::Unknown) return way;
  way = FindGlyphWay(font.Font, font.Glyphs->Glyph[byte]);
  if (way == TGlyphWay::None)
    Diagnose("the glyph of byte " + std::to_string(byte) + " cannot be drawn in " +
             font.Face->Family + " at a cell of " + std::to_string(font.Key.lfHeight) + " by " +
             std::to_string(font.Key.lfWidth) + " pixels; it is left out");
  return way;
}

// An opaque background fills the cells of the text with white, as the
// context's default background colour.
void PaintBackground(TCanvas& canvas, const TFontInstance& font, double x, double y,
                     double advance) {
  FlushGlyphs(canvas);
  const TFontLayout& layout = font.Layout;
  cairo_move_to(canvas.Cr, x, y);
  cairo_rel_line_to(canvas.Cr, advance * layout.AdvanceX, advance * layout.AdvanceY);
  cairo_rel_line_to(canvas.Cr, layout.CellX, layout.CellY);
  cairo_rel_line_to(canvas.Cr, -advance * layout.AdvanceX, -advance * layout.AdvanceY);
  cairo_close_path(canvas.Cr);
  if (canvas.Margins) ClipToPrintableArea(canvas);
  cairo_set_source_rgb(canvas.Cr, 1, 1, 1);
  cairo_fill(canvas.Cr);
  if (canvas.Margins) cairo_restore(canvas.Cr);
  cairo_set_source_rgb(canvas.Cr, 0, 0, 0);
}

cairo_surface_t* BitmapSurface(const TDecodedBitmap& bitmap) {
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, bitmap.Width, bitmap.Height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  const uint8_t* in = bitmap.Rgb.data();
  for (int row = 0; row < bitmap.Height; ++row) {
    auto* out = reinterpret_cast<uint32_t*>(data + size_t(row) * size_t(stride));
    for (int column = 0; column < bitmap.Width; ++column, in += 3)
      out[column] = 0xFF000000u | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

// The bitmap as a surface, decoded anew only when its block changed.
cairo_surface_t* BitmapFor(TCanvas& canvas, const TBitmapBlock& block) {
  uint32_t crc = 0;
  if (block.Located && block.Data) {
    crc = static_cast<uint32_t>(crc32_z(crc32_z(0L, Z_NULL, 0), block.Data, block.Size));
    TBitmapCache& cache = canvas.Bitmap;
    if (cache.Surface && cache.Crc == crc && cache.Size == block.Size &&
        cache.BitsOffset == block.BitsOffset)
      return cache.Surface;
  }
  TDecodedBitmap bitmap;
  std::string reason;
  if (!DecodeDib(block, bitmap, reason)) return nullptr;
  cairo_surface_t* surface = BitmapSurface(bitmap);
  if (!surface) return nullptr;
  ReleaseBitmap(canvas.Bitmap);
  canvas.Bitmap = TBitmapCache{crc, block.Size, block.BitsOffset, surface, bitmap.BottomUp};
  return surface;
}

void PaintBitmap(TCanvas& canvas, cairo_surface_t* image, bool bottomUp, const TStretchCall& call) {
  TStretchPlacement place;
  if (!PlaceStretch(call, cairo_image_surface_get_height(image), bottomUp, canvas.PrintableWidth,
                    canvas.PrintableHeight, place))
    return;
  cairo_matrix_t matrix;
  cairo_matrix_init(&matrix, place.ScaleX, 0, 0, place.ScaleY, place.OffsetX, place.OffsetY);
  double left = place.Left, top = place.Top, right = place.Right, bottom = place.Bottom;
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(image);
  cairo_pattern_set_matrix(pattern, &matrix);
  // Stretched pixels stay sharp squares, as a printer's driver draws them.
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  cairo_save(canvas.Cr);
  cairo_rectangle(canvas.Cr, left, top, right - left, bottom - top);
  cairo_set_source(canvas.Cr, pattern);
  cairo_fill(canvas.Cr);
  cairo_restore(canvas.Cr);
  cairo_pattern_destroy(pattern);
}

}  // namespace

// ---- The canvas and the backend entries ---------------------------------

void AttachCairoCanvas(TDeviceContext* dc, const TSheets& sheets) {
  auto canvas = std::make_unique<TCanvas>();
  canvas->Geometry = dc->Geometry;
  canvas->Frame = SheetFrame(dc->Geometry, sheets.InPoints);
  canvas->Sheets = sheets;
  cairo_matrix_init_scale(&canvas->FontCtm, canvas->Frame.ScaleX, canvas->Frame.ScaleY);
  const TPrinterGeometry& g = dc->Geometry;
  canvas->PrintableWidth = MicrometresToPixels(
      g.PaperWidthMicro - g.MarginLeftMicro - g.MarginRightMicro, g.DpiX);
  canvas->PrintableHeight = MicrometresToPixels(
      g.PaperHeightMicro - g.MarginTopMicro - g.MarginBottomMicro, g.DpiY);
  canvas->Margins = g.MarginLeftMicro > 0 || g.MarginTopMicro > 0 || g.MarginRightMicro > 0 ||
                    g.MarginBottomMicro > 0;
  if (dc->SelectedFont) canvas->Selected = dc->SelectedFont->Font;
  canvas->Transparent = dc->BkMode == TRANSPARENT;
  dc->Data = canvas.release();
}

void CairoDeviceCaps(TDeviceContext*, int, int) {}

void CairoStartDocument(TDeviceContext* dc, const char* docName) {
  if (dc->InDocument) return;
  TCanvas& canvas = Canvas(dc);
  canvas.Failure.clear();
  TSheets& sheets = canvas.Sheets;
  canvas.DocumentFailed = !sheets.Kind->BeginDocument(sheets, docName, canvas.Failure);
}

void CairoStartPage(TDeviceContext* dc) {
  if (!dc->InDocument || dc->InPage) return;
  TCanvas& canvas = Canvas(dc);
  if (canvas.DocumentFailed) return;
  cairo_surface_t* surface = canvas.Sheets.Kind->BeginSheet(canvas.Sheets, canvas.Failure);
  if (!surface) {
    canvas.DocumentFailed = true;
    return;
  }
  canvas.Cr = cairo_create(surface);
  canvas.Raster = cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE;
  const TSheetFrame& frame = canvas.Frame;
  cairo_translate(canvas.Cr, frame.OriginX, frame.OriginY);
  cairo_scale(canvas.Cr, frame.ScaleX, frame.ScaleY);
  // Nothing lands in the unprintable margins, as on the printer itself:
  // glyphs near them are drawn clipped, bitmaps cut to the printable area.
  cairo_set_source_rgb(canvas.Cr, 0, 0, 0);
}

void CairoEndPage(TDeviceContext* dc) {
  if (!dc->InPage) return;
  TCanvas& canvas = Canvas(dc);
  FinishSheet(canvas);
  if (canvas.DocumentFailed) RaiseOutputFailure(canvas);
}

void CairoEndDoc(TDeviceContext* dc) {
  if (!dc->InDocument) return;
  TCanvas& canvas = Canvas(dc);
  if (dc->InPage) FinishSheet(canvas);
  if (canvas.DocumentFailed) {
    std::string failure = canvas.Failure;
    DropDocument(canvas);
    canvas.Failure = failure;
    RaiseOutputFailure(canvas);
  }
  std::string failure;
  if (!canvas.Sheets.Kind->EndDocument(canvas.Sheets, failure)) {
    canvas.Failure = failure;
    RaiseOutputFailure(canvas);
  }
}

void CairoAbortDoc(TDeviceContext* dc) {
  if (!dc->InDocument) return;
  DropDocument(Canvas(dc));
}

void CairoClose(TDeviceContext* dc) {
  auto* canvas = static_cast<TCanvas*>(dc->Data);
  if (!canvas) return;
  // A context deleted inside its document leaves nothing of it, and one
  // that never started a document lets go of the file it had ready.
  DropDocument(*canvas);
  for (auto& font : canvas->Fonts) ReleaseFontInstance(*font);
  ReleaseBitmap(canvas->Bitmap);
  canvas->Sheets.Kind->Release(canvas->Sheets);
  delete canvas;
  dc->Data = nullptr;
}

void CairoSetBkMode(TDeviceContext* dc, int mode) {
  if (mode == TRANSPARENT || mode == OPAQUE) Canvas(dc).Transparent = mode == TRANSPARENT;
}

void CairoFontCreated(TDeviceContext*, const TGdiObject*) {}

void CairoFontSelected(TDeviceContext* dc, const TGdiObject* font, const TGdiObject*) {
  if (!font) return;
  TCanvas& canvas = Canvas(dc);
  canvas.Selected = font->Font;
  canvas.Current = nullptr;  // made ready when something is drawn with it
}

void CairoFontDeleted(TDeviceContext*, const TGdiObject*) {}

void CairoTextOutput(TDeviceContext* dc, int x, int y, const char* text, int count) {
  TCanvas& canvas = Canvas(dc);
  if (!dc->InPage || !canvas.Cr || count <= 0) return;
  TFontInstance* font = CurrentFont(canvas);
  if (!font->Font) return;
  if (canvas.BatchFont != font) {
    FlushGlyphs(canvas);
    canvas.BatchFont = font;
    canvas.BatchReach = FontReach(*font);
  }
  const TFaceGlyphs& glyphs = *font->Glyphs;
  const TFontLayout& layout = font->Layout;
  if (!canvas.Transparent) {
    double advance = 0;
    for (int i = 0; i < count; ++i) advance += glyphs.Advance[static_cast<unsigned char>(text[i])];
    PaintBackground(canvas, *font, x, y, advance);
  }
  double originX = x + layout.BaselineX;
  double originY = y + layout.BaselineY;
  double reach = canvas.BatchReach;
  for (int i = 0; i < count; ++i) {
    unsigned char byte = static_cast<unsigned char>(text[i]);
    if (!glyphs.Blank[byte])
      AddGlyph(canvas, glyphs.Glyph[byte], originX, originY, reach, GlyphWay(canvas, *font, byte));
    originX += glyphs.Advance[byte] * layout.AdvanceX;
    originY += glyphs.Advance[byte] * layout.AdvanceY;
  }
}

int CairoStretchDIBits(TDeviceContext* dc, const TStretchCall& call) {
  TCanvas& canvas = Canvas(dc);
  if (call.Rop != SRCCOPY || call.Usage != DIB_RGB_COLORS) return 0;
  cairo_surface_t* image = BitmapFor(canvas, call.Block);
  if (!image) return 0;
  if (dc->InPage && canvas.Cr) {
    FlushGlyphs(canvas);
    PaintBitmap(canvas, image, canvas.Bitmap.BottomUp, call);
  }
  int64_t lines = std::abs(int64_t{call.SrcHeight});
  return lines > INT32_MAX ? INT32_MAX : static_cast<int>(lines);
}

}  // namespace tolvane
