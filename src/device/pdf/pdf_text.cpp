#include "device/pdf/pdf_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tolvane {

namespace {

// How far a glyph may stand off its line's baseline and still join the
// line's run, in pixels.
constexpr double SameBaseline = 1e-6;

// How far a glyph's ink may lie from its origin: one and a half ems along
// the longer of the font's axes is more than any outline of a text face
// reaches.
double FontReach(const TFontLayout& layout) {
  const TFontMatrix& m = layout.Matrix;
  return 1.5 * std::max(std::hypot(m.XX, m.YX), std::hypot(m.XY, m.YY)) + 1;
}

void CloseRun(std::string& content, TPdfText& text) {
  if (!text.InRun) return;
  content += text.InString ? ">]TJ\n" : "]TJ\n";
  text.InRun = text.InString = false;
  text.RunFont = nullptr;
}

void SetTextState(std::string& content, TPdfText& text, const TPdfTextFont& font) {
  if (text.StateFont != font.Font->Name) {
    content += "/F";
    AppendInteger(content, font.Font->Name);
    content += " 1 Tf\n";
    text.StateFont = font.Font->Name;
  }
  if (text.StateBold != font.BoldWidth) {
    // Synthetic bold strokes the outline as well as filling it.
    if (font.BoldWidth > 0) {
      AppendNumber(content, font.BoldWidth);
      content += " w 2 Tr\n";
    } else {
      content += "0 Tr\n";
    }
    text.StateBold = font.BoldWidth;
  }
}

// A run starts with the text matrix: the font's ems onto device pixels,
// its glyphs' up turned to the device's up, the origin at the glyph's.
void StartRun(std::string& content, TPdfText& text, const TPdfTextFont& font, double x,
              double y) {
  if (!text.InText) content += "BT\n";
  text.InText = true;
  SetTextState(content, text, font);
  const TFontMatrix& m = font.Layout.Matrix;
  for (double value : {m.XX, m.YX, -m.XY, -m.YY, x, y}) {
    AppendNumber(content, value);
    content += ' ';
  }
  content += "Tm[";
  text.InRun = true;
  text.RunFont = &font;
  text.StartX = x, text.StartY = y;
  text.Pen = 0;
}

// Where a glyph at x, y lies on the open run: ems along it from its start;
// false when it is not on the run's baseline or lies behind its pen.
bool AlongRun(const TPdfText& text, const TPdfTextFont& font, double x, double y,
              double& along) {
  if (!text.InRun || text.RunFont != &font) return false;
  double dx = x - text.StartX, dy = y - text.StartY;
  if (std::fabs(dx * -font.UnitY + dy * font.UnitX) > SameBaseline) return false;
  along = (dx * font.UnitX + dy * font.UnitY) * font.EmsPerPixel;
  return along > text.Pen - 0.5;
}

// The font's code for byte; -1 when the font has none left.
int CodeOf(TPdfTextFont& font, unsigned char byte) {
  if (!font.Codes[byte]) {
    double advance = font.Glyphs->Advance[byte];
    font.Codes[byte] = int16_t(1 + PdfCode(*font.Font, font.Glyphs->Glyph[byte],
                                           font.CodePage->Character[byte], advance));
    font.Widths[byte] = PdfWidth(*font.Font, advance);
    font.AdvanceEms[byte] = font.Widths[byte] / 1000.0;
  }
  return font.Codes[byte] - 1;
}

}  // namespace

void PreparePdfTextFont(TPdfTextFont& font, const LOGFONTA& description,
                        const TPrinterGeometry& geometry) {
  font = TPdfTextFont{};
  font.Key = description;
  font.Face = FindDocumentFace(description);
  if (!font.Face) return;
  font.CodePage = &CodePageTable(geometry.CodePage);
  font.Glyphs = &FaceGlyphs(*font.Face, *font.CodePage);
  font.Layout = LayOutFont(description, font.Face->Metrics, geometry.DpiX, geometry.DpiY);
  const TFontMatrix& m = font.Layout.Matrix;
  font.Scale = std::hypot(m.XX, m.YX);
  font.EmsPerPixel = 1 / font.Scale;
  font.UnitX = m.XX / font.Scale;
  font.UnitY = m.YX / font.Scale;
  font.Reach = FontReach(font.Layout);
  // As thick as FreeType makes a face bold: a 24th of the em.
  if (font.Face->SyntheticBold) font.BoldWidth = std::hypot(m.XY, m.YY) / 24;
}

void AddPdfGlyph(std::string& content, TPdfText& text, TPdfTextFont& font, unsigned char byte,
                 double x, double y, double width, double height) {
  double reach = font.Reach;
  if (x < -reach || y < -reach || x > width + reach || y > height + reach) return;
  int code = CodeOf(font, byte);
  if (code < 0) return;
  double along = 0;
  if (!AlongRun(text, font, x, y, along)) {
    CloseRun(content, text);
    StartRun(content, text, font, x, y);
    along = 0;
  }
  // The adjustment in thousandths that brings the pen nearest the glyph;
  // taken from the pen's own place each time, so errors never add up.
  double wanted = (text.Pen - along) * 1000.0;
  auto adjustment = int64_t(wanted < 0 ? wanted - 0.5 : wanted + 0.5);
  if (adjustment != 0) {
    if (text.InString) content += '>';
    AppendInteger(content, adjustment);
    text.InString = false;
    text.Pen -= double(adjustment) * 0.001;
  }
  if (!text.InString) content += '<';
  text.InString = true;
  AppendHex8(content, uint32_t(code));
  text.Pen += font.AdvanceEms[byte];
}

void EndPdfText(std::string& content, TPdfText& text) {
  CloseRun(content, text);
  if (text.InText) content += "ET\n";
  text.InText = false;
}

void ResetPdfText(TPdfText& text) { text = TPdfText{}; }

}  // namespace tolvane
