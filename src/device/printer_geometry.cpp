// A printer's sheet, resolution and margins from its section of the system
// printer profile, and the printable area that GetDeviceCaps reports. All of
// it is integer arithmetic on micrometres: a page laid out in floating point
// loses a pixel at the edge (Letter at 600 dpi would be 5099 pixels wide).
#include <cstdint>
#include <limits>
#include <string>

#include "device/device.h"

namespace tolvane {

namespace {

constexpr int64_t MicrometresPerInch = 25400;

// Anything larger is taken for a typing error. The bounds also keep every
// product below inside 64 bits and every pixel count inside 32.
constexpr int64_t MaxLengthMicro = 100000000;  // 100 m
constexpr int64_t MaxDpi = 100000;

constexpr int32_t DefaultDpi = 600;
constexpr int32_t DefaultCodePage = 1252;

struct TPaperName {
  const char* Name;
  int64_t WidthMicro;
  int64_t HeightMicro;
};

const TPaperName PaperNames[] = {
    {"A3", 297000, 420000},    {"A4", 210000, 297000},    {"A5", 148000, 210000},
    {"Letter", 215900, 279400}, {"Legal", 215900, 355600},
};

// Reading position inside a value; the profile hands over a NUL-ended text.
struct TCursor {
  const char* At;
};

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

void SkipBlanks(TCursor& cursor) {
  while (*cursor.At == ' ' || *cursor.At == '\t') ++cursor.At;
}

bool AtEnd(TCursor& cursor) {
  SkipBlanks(cursor);
  return *cursor.At == '\0';
}

// The separator is required; blanks around it are allowed.
bool Expect(TCursor& cursor, char lower, char upper) {
  SkipBlanks(cursor);
  if (*cursor.At != lower && *cursor.At != upper) return false;
  ++cursor.At;
  return true;
}

// Unsigned decimal digits; false without any, or once the value passes limit
// (checked digit by digit, so no length of input can overflow).
bool ReadWhole(TCursor& cursor, int64_t limit, int64_t& value) {
  SkipBlanks(cursor);
  if (!IsDigit(*cursor.At)) return false;
  int64_t result = 0;
  while (IsDigit(*cursor.At)) {
    result = result * 10 + (*cursor.At++ - '0');
    if (result > limit) return false;
  }
  value = result;
  return true;
}

// Fraction digits after the point, scaled to micrometres; digits finer than a
// micrometre are cut off. True when there was at least one digit.
bool ReadFraction(TCursor& cursor, int64_t& micro) {
  bool digits = false;
  int64_t scale = 100;
  for (; IsDigit(*cursor.At); ++cursor.At) {
    digits = true;
    micro += (*cursor.At - '0') * scale;
    scale /= 10;
  }
  return digits;
}

// Millimetres with an optional decimal point ("210", "215.9", ".5", "5.").
bool ReadMillimetres(TCursor& cursor, int64_t& micro) {
  SkipBlanks(cursor);
  int64_t whole = 0;
  bool digits = IsDigit(*cursor.At);
  if (digits && !ReadWhole(cursor, MaxLengthMicro / 1000, whole)) return false;
  int64_t result = whole * 1000;
  if (*cursor.At == '.') {
    ++cursor.At;
    digits = ReadFraction(cursor, result) || digits;
  }
  if (!digits || result > MaxLengthMicro) return false;
  micro = result;
  return true;
}

bool EqualNoCase(const std::string& text, const char* name) {
  size_t i = 0;
  for (; i < text.size() && name[i]; ++i) {
    char a = text[i], b = name[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return i == text.size() && !name[i];
}

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string ReadKey(const std::string& device, const char* key) {
  char buffer[256] = {};
  GetProfileStringA(device.c_str(), key, "", buffer, sizeof buffer);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

bool ParsePaper(const std::string& value, TPrinterGeometry& geometry) {
  std::string name = Trimmed(value);
  for (const TPaperName& paper : PaperNames) {
    if (!EqualNoCase(name, paper.Name)) continue;
    geometry.PaperWidthMicro = paper.WidthMicro;
    geometry.PaperHeightMicro = paper.HeightMicro;
    return true;
  }
  TCursor cursor{value.c_str()};
  int64_t width = 0, height = 0;
  if (!ReadMillimetres(cursor, width) || !Expect(cursor, 'x', 'X') ||
      !ReadMillimetres(cursor, height) || !AtEnd(cursor) || width == 0 || height == 0)
    return false;
  geometry.PaperWidthMicro = width;
  geometry.PaperHeightMicro = height;
  return true;
}

// "600" for both directions, or "XxY".
bool ParseResolution(const std::string& value, TPrinterGeometry& geometry) {
  TCursor cursor{value.c_str()};
  int64_t x = 0, y = 0;
  if (!ReadWhole(cursor, MaxDpi, x)) return false;
  y = x;
  if (!AtEnd(cursor) && (!Expect(cursor, 'x', 'X') || !ReadWhole(cursor, MaxDpi, y) ||
                         !AtEnd(cursor)))
    return false;
  if (x == 0 || y == 0) return false;
  geometry.DpiX = static_cast<int32_t>(x);
  geometry.DpiY = static_cast<int32_t>(y);
  return true;
}

// One value for all four sides, or left,top,right,bottom.
bool ParseMargins(const std::string& value, TPrinterGeometry& geometry) {
  TCursor cursor{value.c_str()};
  int64_t sides[4] = {};
  int count = 0;
  do {
    if (count == 4 || !ReadMillimetres(cursor, sides[count])) return false;
    ++count;
  } while (Expect(cursor, ',', ','));
  if (!AtEnd(cursor) || (count != 1 && count != 4)) return false;
  if (count == 1) sides[1] = sides[2] = sides[3] = sides[0];
  geometry.MarginLeftMicro = sides[0];
  geometry.MarginTopMicro = sides[1];
  geometry.MarginRightMicro = sides[2];
  geometry.MarginBottomMicro = sides[3];
  return true;
}

// A whole number from 0 up to limit; value is left alone otherwise.
bool ParseCount(const std::string& text, int64_t limit, int32_t& value) {
  TCursor cursor{text.c_str()};
  int64_t result = 0;
  if (!ReadWhole(cursor, limit, result) || !AtEnd(cursor)) return false;
  value = static_cast<int32_t>(result);
  return true;
}

int64_t PrintableMicro(int64_t sheet, int64_t before, int64_t after) {
  int64_t rest = sheet - before - after;
  return rest > 0 ? rest : 0;
}

int32_t WholeMillimetres(int64_t micro) {
  int64_t millimetres = micro / 1000;
  if (millimetres > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(millimetres);
}

TPrinterGeometry DefaultGeometry() {
  TPrinterGeometry geometry{};
  geometry.PaperWidthMicro = 210000;
  geometry.PaperHeightMicro = 297000;
  geometry.DpiX = DefaultDpi;
  geometry.DpiY = DefaultDpi;
  geometry.CodePage = DefaultCodePage;
  return geometry;
}

void DerivePrintableArea(TPrinterGeometry& geometry) {
  int64_t width = PrintableMicro(geometry.PaperWidthMicro, geometry.MarginLeftMicro,
                                 geometry.MarginRightMicro);
  int64_t height = PrintableMicro(geometry.PaperHeightMicro, geometry.MarginTopMicro,
                                  geometry.MarginBottomMicro);
  geometry.HorzSize = WholeMillimetres(width);
  geometry.VertSize = WholeMillimetres(height);
  geometry.HorzRes = MicrometresToPixels(width, geometry.DpiX);
  geometry.VertRes = MicrometresToPixels(height, geometry.DpiY);
}

// A value that does not read leaves what was there; the user hears of it,
// since the sheets then come out at another size than the one written.
void ReportUnread(const std::string& device, const char* key, const std::string& value,
                  const char* expected) {
  Diagnose("printer '" + device + "': " + key + "=" + value + " in its profile section is not " +
           expected + "; it is left out");
}

void ParseKey(const std::string& device, const char* key, const char* expected,
              bool (*parse)(const std::string&, TPrinterGeometry&), TPrinterGeometry& geometry) {
  std::string value = ReadKey(device, key);
  if (!value.empty() && !parse(value, geometry)) ReportUnread(device, key, value, expected);
}

void ParseCountKey(const std::string& device, const char* key, int64_t limit, int32_t& count) {
  std::string value = ReadKey(device, key);
  if (!value.empty() && !ParseCount(value, limit, count))
    ReportUnread(device, key, value, "a whole number");
}

void ApplyOverrides(const std::string& device, TPrinterGeometry& geometry) {
  const int64_t limit = std::numeric_limits<int32_t>::max();
  ParseCountKey(device, "horzsize", limit, geometry.HorzSize);
  ParseCountKey(device, "vertsize", limit, geometry.VertSize);
  ParseCountKey(device, "horzres", limit, geometry.HorzRes);
  ParseCountKey(device, "vertres", limit, geometry.VertRes);
}

}  // namespace

int32_t MicrometresToPixels(int64_t micro, int32_t dpi) {
  const int64_t largest = std::numeric_limits<int32_t>::max();
  if (micro <= 0 || dpi <= 0) return 0;
  if (micro > std::numeric_limits<int64_t>::max() / dpi) return static_cast<int32_t>(largest);
  int64_t pixels = micro * dpi / MicrometresPerInch;
  return static_cast<int32_t>(pixels < largest ? pixels : largest);
}

TPrinterGeometry ReadPrinterGeometry(const std::string& device) {
  return ReadPrinterGeometry(device, DefaultGeometry());
}

TPrinterGeometry ReadPrinterGeometry(const std::string& device, const TPrinterGeometry& printer) {
  TPrinterGeometry geometry = printer;
  // Each parser changes the geometry only when its whole value is good, so
  // one typing error costs that key alone.
  ParseKey(device, "paper", "a paper size (A3, A4, A5, Letter, Legal or WxH in mm)", ParsePaper,
           geometry);
  ParseKey(device, "resolution", "a resolution (DPI or XxY)", ParseResolution, geometry);
  ParseKey(device, "margins", "one margin or four in mm (left,top,right,bottom)", ParseMargins,
           geometry);
  ParseCountKey(device, "codepage", 65535, geometry.CodePage);
  if (geometry.CodePage == 0) geometry.CodePage = DefaultCodePage;
  DerivePrintableArea(geometry);
  ApplyOverrides(device, geometry);
  return geometry;
}

}  // namespace tolvane
