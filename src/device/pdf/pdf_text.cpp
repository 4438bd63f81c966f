#include "device/pdf/pdf_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tolvane {

namespace {

// How far a glyph may stand off its line's baseline and still join the
// line, in pixels.
constexpr double SameBaseline = 1e-6;
// How far off its line's baseline a run of another font may sit and go on
// with a rise, in ems of that font: more than any two faces' ascents differ,
// less than half a line.
constexpr double RiseReach = 0.25;
// How far a viewer's pen may stray from a glyph's pixel before a number
// brings it back, in pixels: well inside what anyone can see or measure.
constexpr double PenSlack = 0.01;
// A glyph takes a second code only while this many of the font's codes
// are left for glyphs not drawn yet; when the codes run out all the same,
// the size goes on in a new font.
constexpr int CodesKeptForNewGlyphs = 32;

// How far a glyph's ink may lie from its origin: one and a half ems along
// the longer of the font's axes is more than any outline of a text face
// reaches.
double FontReach(const TFontLayout& layout) {
  const TFontMatrix& m = layout.Matrix;
  return 1.5 * std::max(std::hypot(m.XX, m.YX), std::hypot(m.XY, m.YY)) + 1;
}

// Numbers that place lines keep ten decimals where four would not do, so
// that a slanted line still ends on its pixels; returns what a reader
// reads back.
double AppendPrecise(std::string& content, double value) {
  double units = value * 10000.0;
  if (std::fabs(units - std::round(units)) < 1e-6 || std::fabs(value) >= 1e8) {
    AppendNumber(content, value);
    return std::round(units) / 10000.0;
  }
  char text[40];
  int length = std::snprintf(text, sizeof text, "%.10f", value);
  while (length > 0 && text[length - 1] == '0') --length;
  content.append(text, size_t(length));
  return std::strtod(std::string(text, size_t(length)).c_str(), nullptr);
}

// The width in percent with five figures, the way it goes to Tz; returns
// what a reader reads back. It shapes the glyphs no more than a
// twenty-thousandth wider or narrower than the face at its scale, a few
// thousandths of a pixel; the pen does not depend on it, as the widths are
// laid out with the scale that a reader makes of it.
double AppendWidth(std::string& content, double percent) {
  bool usual = percent > 1e-6 && percent < 1e12;
  int figures = usual ? 1 + int(std::floor(std::log10(percent))) : -5;
  int decimals = std::max(0, std::min(10, 5 - figures));
  char text[40];
  int length = std::snprintf(text, sizeof text, "%.*f", decimals, percent);
  while (decimals > 0 && length > 0 && text[length - 1] == '0') --length;
  if (length > 0 && text[length - 1] == '.') --length;
  content.append(text, size_t(length));
  return std::strtod(std::string(text, size_t(length)).c_str(), nullptr);
}

void AppendCode(std::string& content, int code) {
  // A literal string takes any byte but the three that end or escape it
  // and the line ends, which a reader may read as another line end.
  if (code == '(' || code == ')' || code == '\\') content += '\\';
  if (code == '\r') return void(content += "\\r");
  if (code == '\n') return void(content += "\\n");
  content += char(code);
}

bool SameMatrix(const double (&a)[4], const double (&b)[4]) {
  for (int i = 0; i < 4; ++i)
    if (std::fabs(a[i] - b[i]) > 1e-12) return false;
  return true;
}

// What selects the font and its width, each written once for every
// change to it: a face drawn in another's frame shares its width.
const std::string& Selection(TPdfTextFont& font) {
  if (font.Selection.empty()) {
    font.Selection = "/S";
    AppendInteger(font.Selection, font.Sized->Name);
    font.Selection += ' ';
    AppendPrecise(font.Selection, font.Vertical);
    font.Selection += " Tf";
  }
  return font.Selection;
}

const std::string& WidthText(TPdfTextFont& font) {
  if (font.WidthText.empty()) {
    font.WidthText = " ";
    AppendWidth(font.WidthText, font.Width);
    font.WidthText += " Tz";
  }
  return font.WidthText;
}

void SetTextState(std::string& content, TPdfText& text, TPdfTextFont& font) {
  if (text.StateFont != font.Sized->Name || text.StateSize != font.Vertical) {
    content += Selection(font);
    text.StateFont = font.Sized->Name;
    text.StateSize = font.Vertical;
  }
  if (text.StateWidth != font.Width) {
    content += WidthText(font);
    text.StateWidth = font.Width;
  }
  if (text.StateBold != font.BoldWidth) {
    // Synthetic bold strokes the outline as well as filling it.
    if (font.BoldWidth > 0) {
      content += ' ';
      AppendNumber(content, font.BoldWidth);
      content += " w 2 Tr";
    } else {
      content += " 0 Tr";
    }
    text.StateBold = font.BoldWidth;
  }
}

// A line's runs take one of two rises over and over (a bold face's and the
// line's own), so the last two are kept written.
const std::string& RiseText(TPdfText& text, double rise) {
  for (const TPdfText::TRiseText& kept : text.RiseTexts)
    if (!kept.Text.empty() && kept.Rise == rise) return kept.Text;
  TPdfText::TRiseText& made = text.RiseTexts[text.NextRiseText];
  text.NextRiseText ^= 1;
  made.Rise = rise;
  std::string written(1, ' ');
  AppendNumber(written, rise);
  written += " Ts";
  made.Text = std::move(written);
  return made.Text;
}

void SetRise(std::string& content, TPdfText& text, double rise, double across) {
  text.Rise = rise, text.RiseAcross = across;
  if (text.StateRise == rise) return;
  content += RiseText(text, rise);
  text.StateRise = rise;
}

// The face's code for byte; -1 when the face has none left.
int BaseCode(TPdfTextFont& font, unsigned char byte) {
  if (!font.BaseCodes[byte])
    font.BaseCodes[byte] = int16_t(1 + PdfCode(*font.Font, font.Glyphs->Glyph[byte],
                                               font.CodePage->Character[byte],
                                               font.Glyphs->Advance[byte]));
  return font.BaseCodes[byte] - 1;
}

// The code of byte whose step is nearest wanted pixels among those made;
// -1 when it has none.
inline int NearestCode(const TPdfSizedFont& sized, unsigned char byte, double wanted) {
  const int16_t(&codes)[2] = sized.Codes[byte];
  const double(&steps)[2] = sized.Steps[byte];
  if (!codes[0]) return -1;
  if (!codes[1]) return 0;
  return std::fabs(steps[1] - wanted) < std::fabs(steps[0] - wanted) ? 1 : 0;
}

// The code of byte whose step is nearest wanted pixels, made when the byte
// has a code to spare and wanted is one of the steps its advance cut to
// whole pixels gives; -1 when the font has no code for it.
[[gnu::noinline]] int MakeStepCode(TPdfTextFont& font, unsigned char byte, double wanted,
                                   int nearest, double& step) {
  TPdfSizedFont& sized = *font.Sized;
  int16_t (&codes)[2] = sized.Codes[byte];
  double (&steps)[2] = sized.Steps[byte];
  int free = codes[0] ? 1 : 0;
  bool spare = !codes[1] && (free == 0 || (sized.SecondCodes &&
                                            sized.Count < 256 - CodesKeptForNewGlyphs));
  bool fits = std::fabs(wanted - font.Advance[byte]) <= 1 + PenSlack;
  if (spare && (fits || free == 0)) {
    double made = fits ? wanted : font.Advance[byte];
    int code = PdfSizedCode(sized, BaseCode(font, byte), made);
    if (code >= 0) {
      codes[free] = int16_t(code + 1);
      steps[free] = sized.Widths[code] * sized.Scale / 1000.0;
      step = steps[free];
      return code;
    }
  }
  if (nearest < 0) return -1;
  step = steps[nearest];
  return codes[nearest] - 1;
}

inline int StepCode(TPdfTextFont& font, unsigned char byte, double wanted, double& step) {
  const TPdfSizedFont& sized = *font.Sized;
  int nearest = NearestCode(sized, byte, wanted);
  if (nearest >= 0 && std::fabs(sized.Steps[byte][nearest] - wanted) <= PenSlack) {
    step = sized.Steps[byte][nearest];
    return sized.Codes[byte][nearest] - 1;
  }
  return MakeStepCode(font, byte, wanted, nearest, step);
}

// A run is shown with Tj while it is one string of codes. The first number
// in it makes it a TJ array: the bracket goes in where the run began.
void OpenRun(std::string& content, TPdfText& text) {
  text.RunStart = content.size();
  text.RunArray = false;
}

void MakeRunArray(std::string& content, TPdfText& text) {
  if (text.RunArray) return;
  content.insert(text.RunStart, 1, '[');
  text.RunArray = true;
}

void CloseRun(std::string& content, TPdfText& text) {
  if (text.RunArray)
    content += text.InString ? ")]TJ" : "]TJ";
  else if (text.InString)
    content += ")Tj";
  text.InString = false;
}

// Writes the waiting glyph: a number first where the pen strays from its
// pixel, then the code whose width is the step to the next glyph.
void WriteWaiting(std::string& content, TPdfText& text, bool haveNext, double nextAlong) {
  if (!text.Waiting) return;
  text.Waiting = false;
  TPdfTextFont& font = *text.WaitingFont;
  unsigned char byte = text.WaitingByte;
  double off = text.WaitingAlong - text.Pen;
  if (std::fabs(off) > PenSlack) {
    MakeRunArray(content, text);
    if (text.InString) content += ')';
    text.InString = false;
    double thousandths = std::round(-off * 1000.0 / font.Scale * 10000.0) / 10000.0;
    AppendNumber(content, thousandths);
    text.Pen -= thousandths * font.Scale / 1000.0;
  }
  double wanted = haveNext ? nextAlong - text.Pen : font.Advance[byte];
  double step = 0;
  int code = StepCode(font, byte, wanted, step);
  if (code < 0) {
    // Every code of the size is taken: the line goes on in the size's
    // newest font (another context of the face may have made one), or in a
    // new one.
    CloseRun(content, text);
    for (bool fresh : {false, true}) {
      TPdfSizedFont* next = &PdfSizedFontFor(*font.Fonts, *font.Font, font.Scale, fresh,
                                             FrameMap(font));
      if (next == font.Sized) continue;
      font.Sized = next;
      font.Selection.clear();
      code = StepCode(font, byte, wanted, step);
      if (code >= 0) break;
    }
    SetTextState(content, text, font);
    OpenRun(content, text);
    if (code < 0) return;
  }
  if (!text.InString) content += '(';
  text.InString = true;
  AppendCode(content, code);
  text.Pen += step;
}

void FinishLine(std::string& content, TPdfText& text) {
  WriteWaiting(content, text, false, 0);
  if (!text.InLine) return;
  CloseRun(content, text);
  content += '\n';
  text.InLine = false;
}

// The move to the next line, whose numbers text.Move holds. Lines of a
// report step down by one of two distances (a line height cut to whole
// pixels); the one seen twice running becomes the leading, and a move by
// the leading is T*, two bytes in place of a pair of numbers.
void AppendLineMove(std::string& content, TPdfText& text, double tx, double ty) {
  bool down = tx == 0 && ty != 0;
  if (down && ty == text.Leading) {
    content += "T*";
  } else if (down && ty == text.LastMove) {
    content += text.Move;
    content += " TD";
    text.Leading = ty;
  } else {
    content += text.Move;
    content += " Td";
  }
  text.LastMove = ty;
}

// A line is placed by a move from the line before where the two share a
// text matrix, and by the matrix otherwise.
void PlaceLine(std::string& content, TPdfText& text, const TPdfTextFont& font, double x,
               double y) {
  const double(&m)[4] = font.Matrix;
  if (text.InText && SameMatrix(text.Matrix, m)) {
    double dx = x - text.LineX, dy = y - text.LineY;
    double det = m[0] * m[3] - m[1] * m[2];
    std::string& move = text.Move;
    move.clear();
    double tx = AppendPrecise(move, (dx * m[3] - dy * m[2]) / det);
    move += ' ';
    double ty = AppendPrecise(move, (m[0] * dy - m[1] * dx) / det);
    AppendLineMove(content, text, tx, ty);
    text.LineX += tx * m[0] + ty * m[2];
    text.LineY += tx * m[1] + ty * m[3];
    return;
  }
  if (!text.InText) content += "BT\n";
  text.InText = true;
  for (int i = 0; i < 4; ++i) {
    text.Matrix[i] = AppendPrecise(content, m[i]);
    content += ' ';
  }
  text.LineX = AppendPrecise(content, x);
  content += ' ';
  text.LineY = AppendPrecise(content, y);
  content += " Tm";
  std::copy(m, m + 4, text.Matrix);
}

void StartLine(std::string& content, TPdfText& text, TPdfTextFont& font, double x,
               double y) {
  PlaceLine(content, text, font, x, y);
  SetTextState(content, text, font);
  SetRise(content, text, 0, 0);
  OpenRun(content, text);
  text.InLine = true;
  text.RunFont = &font;
  text.BaseX = x, text.BaseY = y;
  text.Pen = 0;
}

// Where a glyph at x, y lies on the open line: pixels along it from the
// line's origin, and the rise that puts it on its baseline (a rise moves
// the run of another font, whose baseline may lie a little off the line's);
// false when it is not on the line or not ahead of the glyph before it.
bool AlongLine(const TPdfText& text, const TPdfTextFont& font, double x, double y,
               double& along, double& rise, double& riseAcross) {
  if (!text.InLine || !SameMatrix(text.Matrix, font.Matrix)) return false;
  double dx = x - text.BaseX, dy = y - text.BaseY;
  double across = dx * -font.UnitY + dy * font.UnitX;
  rise = text.Rise, riseAcross = text.RiseAcross;
  if (std::fabs(across - text.RiseAcross) > SameBaseline) {
    if (&font == text.RunFont || font.RiseAcross == 0 ||
        std::fabs(across) > RiseReach * font.Vertical)
      return false;
    // What a reader reads back of the rise must put the glyph on its pixel.
    double units = std::round(across / font.RiseAcross * 10000.0) / 10000.0;
    if (std::fabs(units * font.RiseAcross - across) > SameBaseline) return false;
    rise = units, riseAcross = across;
  }
  along = (x - text.LineX) * font.UnitX + (y - text.LineY) * font.UnitY;
  return along > text.WaitingAlong;
}

// Where the next glyph of the open run lies along its line; false when it
// leaves the run's baseline or does not lie ahead, which the general way
// then sorts out.
inline bool NextOnRun(const TPdfText& text, const TPdfTextFont& font, double x, double y,
                      double& along) {
  double dx = x - text.BaseX, dy = y - text.BaseY;
  double across = dx * -font.UnitY + dy * font.UnitX;
  if (std::fabs(across - text.RiseAcross) > SameBaseline) return false;
  along = (x - text.LineX) * font.UnitX + (y - text.LineY) * font.UnitY;
  return along > text.WaitingAlong;
}

// A quick code with this bit set opens the run's string first: the first
// glyph after a change of font.
constexpr int OpensString = 0x100;

// The code that WriteWaiting writes for the waiting glyph where that is
// simplest: its pen on its pixel, a code made for the step to the next
// glyph; the pen is moved on. -1, and nothing changed, otherwise.
inline int TakeWaitingCodeQuickly(TPdfText& text, double nextAlong) {
  if (!text.Waiting) return -1;
  double pen = text.Pen;
  if (std::fabs(text.WaitingAlong - pen) > PenSlack) return -1;
  const TPdfSizedFont& sized = *text.WaitingFont->Sized;
  unsigned char byte = text.WaitingByte;
  // The step is chosen by where the waiting glyph lies rather than by the
  // pen, a hair away from it, so that the choice need not wait for the
  // step before; the pen must still land on the next glyph.
  int nearest = NearestCode(sized, byte, nextAlong - text.WaitingAlong);
  if (nearest < 0) return -1;
  double step = sized.Steps[byte][nearest];
  if (std::fabs(step - (nextAlong - pen)) > PenSlack) return -1;
  text.Waiting = false;
  text.Pen = pen + step;
  int opens = text.InString ? 0 : OpensString;
  text.InString = true;
  return (sized.Codes[byte][nearest] - 1) | opens;
}

// AddPdfGlyph for the next glyph of the open run in its font, on its
// baseline, whose waiting glyph takes its code quickly: returns that code,
// for the caller to write. -1, and nothing changed, for every other glyph.
inline int AddNextGlyphQuickly(TPdfText& text, TPdfTextFont& font, unsigned char byte, double x,
                               double y, double width, double height) {
  double reach = font.Reach;
  if (x < -reach || y < -reach || x > width + reach || y > height + reach) return -1;
  if (font.BaseCodes[byte] <= 0 || &font != text.RunFont || !text.InLine) return -1;
  double along = 0;
  if (!NextOnRun(text, font, x, y, along)) return -1;
  int code = TakeWaitingCodeQuickly(text, along);
  if (code < 0) return -1;
  text.Waiting = true;
  text.WaitingFont = &font;
  text.WaitingByte = byte;
  text.WaitingAlong = along;
  return code;
}

inline void AppendQuickCode(std::string& content, int code) {
  if (code & OpensString) content += '(';
  AppendCode(content, code & 0xFF);
}

// Out of line, so that the glyph that needs nothing else saves nothing.
[[gnu::noinline]] void AppendCodeOutOfLine(std::string& content, int code) {
  AppendQuickCode(content, code);
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
  SetPdfTextGeometry(font);
  font.OriginX = font.Layout.BaselineX, font.OriginY = font.Layout.BaselineY;
  // As thick as FreeType makes a face bold: a 24th of the em.
  const TFontMatrix& m = font.Layout.Matrix;
  if (font.Face->SyntheticBold) font.BoldWidth = std::hypot(m.XY, m.YY) / 24;
}

void SetPdfTextGeometry(TPdfTextFont& font) {
  const TFontMatrix& m = font.Layout.Matrix;
  double along = std::hypot(m.XX, m.YX);
  font.Vertical = std::hypot(m.XY, m.YY);
  if (!(font.Vertical > 0)) font.Vertical = along;
  // The scale along the text as a reader has it from the size and the
  // width written, so that the codes' widths move its pen exactly.
  std::string written;
  double size = AppendPrecise(written, font.Vertical);
  font.Width = AppendWidth(written, along / font.Vertical * 100.0);
  font.Scale = size * font.Width / 100.0;
  // A width too small to write (a face squeezed to nothing) keeps its
  // true scale: nothing of it can be seen anyway.
  if (!(font.Scale > 0)) font.Scale = along;
  font.UnitX = m.XX / along;
  font.UnitY = m.YX / along;
  double matrix[4] = {m.XX / along, m.YX / along, -m.XY / font.Vertical,
                      -m.YY / font.Vertical};
  std::copy(matrix, matrix + 4, font.Matrix);
  // A rise moves the glyphs along the matrix's second row; where that row
  // leans along the line, no run takes a rise.
  double up[2] = {matrix[2], matrix[3]};
  bool square = std::fabs(up[0] * font.UnitX + up[1] * font.UnitY) < 1e-12;
  font.RiseAcross = square ? up[1] * font.UnitX - up[0] * font.UnitY : 0;
  double pitch = std::hypot(font.Layout.AdvanceX, font.Layout.AdvanceY);
  for (int byte = 0; byte < 256; ++byte) font.Advance[byte] = font.Glyphs->Advance[byte] * pitch;
  font.Reach = FontReach(font.Layout);
}

void AddPdfGlyph(std::string& content, TPdfText& text, TPdfTextFont& font, unsigned char byte,
                 double x, double y, double width, double height) {
  double reach = font.Reach;
  if (x < -reach || y < -reach || x > width + reach || y > height + reach) return;
  if (BaseCode(font, byte) < 0) return;
  double along = 0, rise = 0, riseAcross = 0;
  if (&font == text.RunFont && text.InLine &&
      NextOnRun(text, font, x, y, along)) {
    // The next glyph of the open run, on its baseline: no state changes.
    WriteWaiting(content, text, true, along);
  } else if (AlongLine(text, font, x, y, along, rise, riseAcross)) {
    WriteWaiting(content, text, true, along);
    if (text.RunFont != &font || text.Rise != rise) {
      // The pen goes on in the other font: only its state changes.
      CloseRun(content, text);
      SetTextState(content, text, font);
      SetRise(content, text, rise, riseAcross);
      OpenRun(content, text);
      text.RunFont = &font;
    }
  } else {
    FinishLine(content, text);
    StartLine(content, text, font, x, y);
    along = (x - text.LineX) * font.UnitX + (y - text.LineY) * font.UnitY;
  }
  text.Waiting = true;
  text.WaitingFont = &font;
  text.WaitingByte = byte;
  text.WaitingAlong = along;
}

namespace {

[[gnu::noinline]] void AddPdfGlyphsOneByOne(std::string& content, TPdfText& text,
                                            TPdfTextFont& font, const char* bytes, int count,
                                            double x, double y, double width, double height) {
  const double* advance = font.Glyphs->Advance;
  const TFontLayout& layout = font.Layout;
  for (int i = 0; i < count; ++i) {
    auto byte = static_cast<unsigned char>(bytes[i]);
    int code = AddNextGlyphQuickly(text, font, byte, x, y, width, height);
    if (code >= 0)
      AppendQuickCode(content, code);
    else
      AddPdfGlyph(content, text, font, byte, x, y, width, height);
    x += advance[byte] * layout.AdvanceX;
    y += advance[byte] * layout.AdvanceY;
  }
}

}  // namespace

void AddPdfGlyphs(std::string& content, TPdfText& text, TPdfTextFont& font, const char* bytes,
                  int count, double x, double y, double width, double height) {
  // A report draws one glyph a call: the common one costs no more than its
  // code's writing.
  if (count == 1) {
    auto byte = static_cast<unsigned char>(*bytes);
    int code = AddNextGlyphQuickly(text, font, byte, x, y, width, height);
    if (code >= 0) return AppendCodeOutOfLine(content, code);
    return AddPdfGlyph(content, text, font, byte, x, y, width, height);
  }
  AddPdfGlyphsOneByOne(content, text, font, bytes, count, x, y, width, height);
}

void EndPdfText(std::string& content, TPdfText& text) {
  FinishLine(content, text);
  if (text.InText) content += "ET\n";
  text.InText = false;
}

void ResetPdfText(TPdfText& text) { text = TPdfText{}; }

}  // namespace tolvane
