#include "device/pdf/pdf_fonts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "device/sfnt/sfnt_embed.h"
#include "device/sfnt/sfnt_subset.h"
#include "device/sfnt/sfnt_tables.h"
#include "os/win32.h"

namespace tolvane {

namespace {

// Codes of the character map go out in blocks of at most this many, as
// CMap programs allow.
constexpr size_t CodesPerBlock = 100;
// Where a symbolic font's map has code 0: readers look a code up there.
constexpr uint32_t SymbolicCodes = 0xF000;

// The glyphs of the codes taken, in a subset of the font file whose
// character map holds just the characters drawn; where symbolic, also the
// codes themselves (the map a symbolic font's codes are read through).
bool CutFont(std::string_view file, int index, const bool (&used)[256],
             const uint32_t (&glyphs)[256], const char32_t (&characters)[256], bool symbolic,
             const TSfntTransform* transform, TPdfSubset& subset, std::string& reason) {
  std::vector<uint32_t> kept;
  for (int code = 0; code < 256; ++code)
    if (used[code]) kept.push_back(glyphs[code]);
  TSfntSubset cut;
  if (!SubsetTrueType(file, index, kept, cut, reason, transform)) return false;
  std::vector<TCharacterGlyph> symbols;
  for (int code = 0; code < 256; ++code) {
    if (!used[code]) continue;
    subset.Glyphs[code] = SubsetGlyph(cut, glyphs[code]);
    if (subset.Glyphs[code] == 0) continue;
    uint16_t glyph = uint16_t(subset.Glyphs[code]);
    if (characters[code] < 0xFFFF) subset.Map.push_back({uint16_t(characters[code]), glyph});
    if (symbolic) symbols.push_back({uint16_t(SymbolicCodes + code), glyph});
  }
  subset.Program = std::move(cut.Program);
  if (!ReplaceCharacterMap(subset.Program, subset.Map, symbols)) {
    reason = "its subset cannot be read";
    subset.Program.clear();
  }
  return !subset.Program.empty();
}

// The file is mapped rather than read: a subset takes a few of its glyphs.
// A face read from its own tables has it mapped already.
bool Subset(const TPdfFont& font, const bool (&used)[256], const uint32_t (&glyphs)[256],
            const char32_t (&characters)[256], bool symbolic, const TSfntTransform* transform,
            TPdfSubset& subset, std::string& reason) {
  bool mappedHere = font.Face->Sfnt.empty();
  std::string_view file = mappedHere ? MapFontFile(font.File) : font.Face->Sfnt;
  if (file.empty()) {
    reason = "the file cannot be read";
    return false;
  }
  bool made =
      CutFont(file, font.Index, used, glyphs, characters, symbolic, transform, subset, reason);
  if (mappedHere) UnmapFontFile(file);
  return made;
}

}  // namespace

bool SubsetPdfFont(const TPdfFont& font, TPdfSubset& subset, std::string& reason) {
  return Subset(font, font.Used, font.Glyphs, font.Characters, false, nullptr, subset, reason);
}

namespace {

// A PostScript name keeps to the characters that need no escape in a name.
std::string FontName(const TFontFace& face) {
  std::string name;
  for (unsigned char ch : face.PostScriptName)
    if (ch > 0x20 && ch < 0x7F && !std::strchr("()<>[]{}/%#", ch)) name += char(ch);
  return name.empty() ? "Font" : name;
}

double Thousandths(double units, double unitsPerEm) { return units * 1000.0 / unitsPerEm; }

// The widths of the codes from the first taken to the last.
std::string WidthEntries(const bool (&used)[256], const double (&widths)[256]) {
  int first = 0, last = 255;
  while (first < 255 && !used[first]) ++first;
  while (last > first && !used[last]) --last;
  std::string text = "/FirstChar ";
  AppendInteger(text, first);
  text += "/LastChar ";
  AppendInteger(text, last);
  text += "/Widths[";
  for (int code = first; code <= last; ++code) {
    AppendNumber(text, widths[code]);
    text += ' ';
  }
  return text + "]";
}

// Whether the Windows ANSI encoding of PDF names a character for code: not
// the control codes, nor the five that the code page leaves undefined.
bool AnsiNamesCode(int code) {
  return code >= 0x20 && code != 0x7F && code != 0x81 && code != 0x8D && code != 0x8F &&
         code != 0x90 && code != 0x9D;
}

// A line end in a string costs two bytes, the backslash and the letter, in
// a stream that is mostly glyph codes; such a code goes to a glyph only
// when every other is taken.
bool EscapedAsLineEnd(int code) { return code == '\n' || code == '\r'; }

// The lowest code not yet taken, a line end last; 256 when all are.
int FirstFreeCode(const bool (&used)[256]) {
  for (int code = 0; code < 256; ++code)
    if (!used[code] && !EscapedAsLineEnd(code)) return code;
  for (int code : {'\n', '\r'})
    if (!used[code]) return code;
  return 256;
}

std::string CharacterName(char32_t character) {
  char name[16];
  std::snprintf(name, sizeof name, character < 0x10000 ? "/uni%04X" : "/u%X",
                unsigned(character));
  return name;
}

// The Windows ANSI encoding, with every code whose character it does not
// name named after its character.
std::string EncodingEntry(const bool (&used)[256], const char32_t (&characters)[256]) {
  const TCodePageTable& ansi = CodePageTable(1252);
  std::string differences;
  for (int code = 0; code < 256; ++code) {
    if (!used[code]) continue;
    if (AnsiNamesCode(code) && ansi.Character[code] == characters[code]) continue;
    if (!differences.empty()) differences += ' ';  // a name ends at a delimiter
    AppendInteger(differences, code);
    differences += CharacterName(characters[code]);
  }
  if (differences.empty()) return "/Encoding/WinAnsiEncoding";
  return "/Encoding<</Type/Encoding/BaseEncoding/WinAnsiEncoding/Differences[" + differences +
         "]>>";
}

// A symbolic font's codes named after their characters, on no encoding of
// its own: readers draw its codes through the font's own map, and
// programs that turn the PDF into PostScript (poppler's pdftops on a CUPS
// queue) name its glyphs after them, so that the text survives.
std::string SymbolicEncodingEntry(const bool (&used)[256], const char32_t (&characters)[256]) {
  std::string differences;
  int next = -1;
  for (int code = 0; code < 256; ++code) {
    if (!used[code]) continue;
    if (code != next) {
      if (!differences.empty()) differences += ' ';  // a name ends at a delimiter
      AppendInteger(differences, code);
    }
    differences += CharacterName(characters[code]);
    next = code + 1;
  }
  return "/Encoding<</Type/Encoding/Differences[" + differences + "]>>";
}

// A metric in thousandths of an em: whole ones for a face as it is; with
// four decimals for one whose outlines are mapped into another's frame,
// where a reader that places the words' boxes by them must find them where
// the face's own would be.
void AppendMetric(std::string& text, double value, bool exact) {
  if (exact)
    AppendNumber(text, std::round(value * 10000.0) / 10000.0);
  else
    AppendInteger(text, std::llround(value));
}

// The face's box and heights, mapped along with its outlines.
struct TFaceExtent {
  double Box[4] = {};  // left, bottom, right, top
  double Ascent = 0, Descent = 0, CapHeight = 0;
};

TFaceExtent FaceExtent(const TFontFace& face, const TSfntTransform* transform) {
  TFaceExtent extent;
  double capHeight = face.CapHeight > 0 ? face.CapHeight : face.Metrics.WinAscent;
  std::copy(face.BoundingBox, face.BoundingBox + 4, extent.Box);
  extent.Ascent = face.Metrics.WinAscent;
  extent.Descent = -face.Metrics.WinDescent;
  extent.CapHeight = capHeight;
  if (!transform) return extent;
  const TSfntTransform& t = *transform;
  auto y = [&](double value) { return t.YY * value + t.DY; };
  extent.Ascent = y(extent.Ascent), extent.Descent = y(extent.Descent);
  extent.CapHeight = y(extent.CapHeight);
  const double* b = face.BoundingBox;
  double box[4] = {1e300, 1e300, -1e300, -1e300};
  for (double cornerX : {b[0], b[2]})
    for (double cornerY : {b[1], b[3]}) {
      double x = t.XX * cornerX + t.XY * cornerY + t.DX, yy = t.YX * cornerX + y(cornerY);
      box[0] = std::min(box[0], x), box[1] = std::min(box[1], yy);
      box[2] = std::max(box[2], x), box[3] = std::max(box[3], yy);
    }
  std::copy(box, box + 4, extent.Box);
  return extent;
}

// An embedded font is symbolic: its own map sends each code to its glyph,
// whatever character the code stands for. A font left out is not: its codes
// name characters through the encoding, for the reader's stand-in face.
std::string DescriptorEntries(const TFontFace& face, const std::string& name, bool symbolic,
                              const TSfntTransform* transform) {
  double upem = face.Metrics.UnitsPerEm;
  TFaceExtent extent = FaceExtent(face, transform);
  bool exact = transform != nullptr;
  int flags = (symbolic ? 4 : 32) | (face.FixedPitch ? 1 : 0);
  std::string text = "<</Type/FontDescriptor/FontName/" + name + "/Flags ";
  AppendInteger(text, flags);
  text += "/FontBBox[";
  for (double value : extent.Box) {
    AppendInteger(text, std::llround(Thousandths(value, upem)));
    text += ' ';
  }
  text += "]/ItalicAngle 0/Ascent ";
  AppendMetric(text, Thousandths(extent.Ascent, upem), exact);
  text += "/Descent ";
  AppendMetric(text, Thousandths(extent.Descent, upem), exact);
  text += "/CapHeight ";
  AppendMetric(text, Thousandths(extent.CapHeight, upem), exact);
  text += "/StemV 80";
  return text;
}

std::string Reference(int number) {
  std::string text;
  AppendInteger(text, number);
  return text + " 0 R";
}

// A size of a face is a font of its own, with its own program: the glyphs
// of its codes, each code mapped to its glyph, so that the two codes of a
// glyph draw the same glyph in every reader.
void WriteSizedFont(TPdfWriter& writer, const TPdfSizedFont& sized, std::set<const TPdfFont*>& said) {
  const TPdfFont& face = *sized.Base;
  uint32_t glyphs[256] = {};
  for (int code = 0; code < 256; ++code)
    if (sized.Used[code]) glyphs[code] = face.Glyphs[sized.BaseCodes[code]];
  TPdfSubset subset;
  std::string reason;
  const TSfntTransform* transform = sized.Transformed ? &sized.Transform : nullptr;
  bool embedded =
      Subset(face, sized.Used, glyphs, sized.Characters, true, transform, subset, reason);
  if (!embedded && said.insert(&face).second)
    Diagnose("the font " + face.File + " is not embedded in the PDF: " + reason);
  std::string name = PdfFontName(face);
  if (embedded) name = SubsetTag(sized.Used, glyphs) + "+" + name;
  int descriptor = ReserveObject(writer), toUnicode = ReserveObject(writer);
  int program = embedded ? ReserveObject(writer) : 0;
  std::string entries = DescriptorEntries(*face.Face, name, embedded, transform);
  if (embedded) entries += "/FontFile2 " + Reference(program);
  WriteObject(writer, descriptor, entries + ">>");
  if (embedded) {
    std::string length = "/Length1 ";
    AppendInteger(length, int64_t(subset.Program.size()));
    WriteStream(writer, program, length, subset.Program);
  }
  WriteObject(writer, sized.Number,
              "<</Type/Font/Subtype/TrueType/BaseFont/" + name +
                  WidthEntries(sized.Used, sized.Widths) +
                  (embedded ? SymbolicEncodingEntry(sized.Used, sized.Characters)
                            : EncodingEntry(sized.Used, sized.Characters)) +
                  "/FontDescriptor " + Reference(descriptor) + "/ToUnicode " +
                  Reference(toUnicode) + ">>");
  WriteStream(writer, toUnicode, "", ToUnicodeMap(sized.Used, sized.Characters));
}

// The code of a character in the Windows ANSI code page; -1 for none.
int AnsiCode(char32_t character) {
  static const std::unordered_map<char32_t, int> codes = [] {
    std::unordered_map<char32_t, int> table;
    const TCodePageTable& ansi = CodePageTable(1252);
    for (int code = 0; code < 256; ++code) table.emplace(ansi.Character[code], code);
    return table;
  }();
  auto found = codes.find(character);
  return found == codes.end() ? -1 : found->second;
}

void AppendUtf16(std::string& text, char32_t character) {
  if (character < 0x10000) return AppendHex16(text, uint32_t(character));
  uint32_t rest = uint32_t(character) - 0x10000;
  AppendHex16(text, 0xD800 + (rest >> 10));
  AppendHex16(text, 0xDC00 + (rest & 0x3FF));
}

}  // namespace

TPdfFont& PdfFontFor(TPdfFonts& fonts, const TFontFace& face, bool& made) {
  made = false;
  for (auto& font : fonts.Fonts)
    if (font->File == face.File && font->Index == face.Index) return *font;
  made = true;
  auto font = std::make_unique<TPdfFont>();
  font->File = face.File;
  font->Index = face.Index;
  font->Face = &face;
  font->Name = int(fonts.Fonts.size()) + 1;
  fonts.Fonts.push_back(std::move(font));
  return *fonts.Fonts.back();
}

int PdfCode(TPdfFont& font, uint32_t glyph, char32_t character, double advance) {
  uint64_t key = uint64_t(glyph) << 32 | uint32_t(character);
  auto found = font.Codes.find(key);
  if (found != font.Codes.end()) return found->second;
  if (font.Count >= 256) return -1;
  int code = AnsiCode(character);
  if (code < 0 || font.Used[code]) code = FirstFreeCode(font.Used);
  font.Used[code] = true;
  ++font.Count;
  font.Glyphs[code] = glyph;
  font.Characters[code] = character;
  font.Widths[code] = PdfWidth(font, advance);
  font.Codes.emplace(key, code);
  return code;
}

int32_t PdfWidth(const TPdfFont& font, double advance) {
  return int32_t(std::lround(Thousandths(advance, font.Face->Metrics.UnitsPerEm)));
}

std::string PdfFontName(const TPdfFont& font) {
  return FontName(*font.Face);
}

void WritePdfFonts(TPdfWriter& writer, TPdfFonts& fonts) {
  std::set<const TPdfFont*> said;
  for (auto& sized : fonts.Sized) {
    sized->Number = ReserveObject(writer);
    WriteSizedFont(writer, *sized, said);
  }
}

TPdfSizedFont& PdfSizedFontFor(TPdfFonts& fonts, TPdfFont& base, double scale, bool fresh,
                               const TSfntTransform* transform) {
  // The newest font of the size is the one with codes left.
  for (auto sized = fonts.Sized.rbegin(); !fresh && sized != fonts.Sized.rend(); ++sized)
    if ((*sized)->Base == &base && (*sized)->Scale == scale &&
        (*sized)->Transformed == (transform != nullptr) &&
        (!transform || std::memcmp(&(*sized)->Transform, transform, sizeof *transform) == 0))
      return **sized;
  auto sized = std::make_unique<TPdfSizedFont>();
  sized->Base = &base;
  sized->Scale = scale;
  sized->Transformed = transform != nullptr;
  if (transform) sized->Transform = *transform;
  sized->SecondCodes = !fresh;
  sized->Name = int(fonts.Sized.size()) + 1;
  fonts.Sized.push_back(std::move(sized));
  return *fonts.Sized.back();
}

int PdfSizedCode(TPdfSizedFont& sized, int baseCode, double step) {
  if (sized.Count >= 256) return -1;
  // The face's code where it is free keeps the text readable in the
  // content; a second step of a glyph takes the codes that no character of
  // the Windows ANSI encoding would want first, then the top ones down,
  // the line ends last of all.
  int code = baseCode;
  bool second = false;
  for (int other = 0; other < 256 && !second; ++other)
    second = sized.Used[other] && sized.BaseCodes[other] == baseCode;
  if (second) {
    code = 0;
    while (code < 256 && (sized.Used[code] || AnsiNamesCode(code) || EscapedAsLineEnd(code)))
      ++code;
    if (code == 256)
      for (code = 255; sized.Used[code];) --code;
  } else if (sized.Used[code]) {
    code = FirstFreeCode(sized.Used);
  }
  sized.Used[code] = true;
  ++sized.Count;
  sized.BaseCodes[code] = baseCode;
  sized.Characters[code] = sized.Base->Characters[baseCode];
  // What the viewer reads back is what moves its pen.
  sized.Widths[code] = std::round(step * 1000.0 / sized.Scale * 10000.0) / 10000.0;
  return code;
}

std::string SubsetTag(const bool (&used)[256], const uint32_t (&glyphs)[256]) {
  uint64_t hash = 1469598103934665603ull;
  for (int code = 0; code < 256; ++code)
    if (used[code]) hash = (hash ^ (uint64_t(glyphs[code]) << 8 | code)) * 1099511628211ull;
  std::string tag;
  for (int i = 0; i < 6; ++i, hash /= 26) tag += char('A' + hash % 26);
  return tag;
}

std::string ToUnicodeMap(const bool (&used)[256], const char32_t (&characters)[256]) {
  std::string text =
      "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
      "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<00><FF>\nendcodespacerange\n";
  std::vector<int> codes;
  for (int code = 0; code < 256; ++code)
    if (used[code]) codes.push_back(code);
  for (size_t first = 0; first < codes.size(); first += CodesPerBlock) {
    size_t last = std::min(codes.size(), first + CodesPerBlock);
    AppendInteger(text, int64_t(last - first));
    text += " beginbfchar\n";
    for (size_t i = first; i < last; ++i) {
      text += '<';
      AppendHex8(text, uint32_t(codes[i]));
      text += "><";
      AppendUtf16(text, characters[codes[i]]);
      text += ">\n";
    }
    text += "endbfchar\n";
  }
  return text + "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
}

}  // namespace tolvane
