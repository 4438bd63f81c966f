#include "device/linux/pdf_fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <hb-subset.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "os/win32.h"

namespace tolvane {

namespace {

// Codes of the character map go out in blocks of at most this many, as
// CMap programs allow.
constexpr size_t CodesPerBlock = 100;

struct TSubset {
  std::string Program;             // the subset font file
  std::vector<uint16_t> NewGlyphs; // by code, the glyph in the subset
};

// The tables that arrange glyphs for text layout; the document positions
// every glyph itself, so they would only add glyphs and bytes.
void DropLayoutTables(hb_subset_input_t* input) {
  hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (hb_tag_t tag : {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'),
                       HB_TAG('G', 'D', 'E', 'F'), HB_TAG('k', 'e', 'r', 'n'),
                       HB_TAG('m', 'o', 'r', 'x'), HB_TAG('m', 'o', 'r', 't'),
                       HB_TAG('J', 'S', 'T', 'F'), HB_TAG('B', 'A', 'S', 'E')})
    hb_set_add(drop, tag);
}

bool HasTable(hb_face_t* face, hb_tag_t tag) {
  hb_blob_t* table = hb_face_reference_table(face, tag);
  bool present = hb_blob_get_length(table) > 0;
  hb_blob_destroy(table);
  return present;
}

bool RunSubset(hb_face_t* face, const TPdfFont& font, TSubset& subset, std::string& reason) {
  hb_subset_input_t* input = hb_subset_input_create_or_fail();
  if (!input) {
    reason = "no memory for the subset";
    return false;
  }
  hb_set_t* glyphs = hb_subset_input_glyph_set(input);
  for (uint32_t glyph : font.Glyphs) hb_set_add(glyphs, glyph);
  hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_NO_HINTING);
  DropLayoutTables(input);
  hb_subset_plan_t* plan = hb_subset_plan_create_or_fail(face, input);
  hb_subset_input_destroy(input);
  if (!plan) {
    reason = "the subsetter refused it";
    return false;
  }
  const hb_map_t* mapping = hb_subset_plan_old_to_new_glyph_mapping(plan);
  for (uint32_t glyph : font.Glyphs) {
    hb_codepoint_t mapped = hb_map_get(mapping, glyph);
    subset.NewGlyphs.push_back(mapped == HB_MAP_VALUE_INVALID ? 0 : uint16_t(mapped));
  }
  hb_face_t* result = hb_subset_plan_execute_or_fail(plan);
  hb_subset_plan_destroy(plan);
  if (!result) {
    reason = "the subsetter refused it";
    return false;
  }
  if (!HasTable(result, HB_TAG('g', 'l', 'y', 'f'))) {
    reason = "it has no TrueType outlines";
  } else {
    hb_blob_t* blob = hb_face_reference_blob(result);
    unsigned int length = 0;
    const char* data = hb_blob_get_data(blob, &length);
    subset.Program.assign(data, length);
    hb_blob_destroy(blob);
  }
  hb_face_destroy(result);
  return !subset.Program.empty();
}

bool SubsetFont(const TPdfFont& font, TSubset& subset, std::string& reason) {
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(font.File.c_str());
  if (!blob) {
    reason = "the file cannot be read";
    return false;
  }
  hb_face_t* face = hb_face_create(blob, unsigned(font.Index));
  hb_blob_destroy(blob);
  bool made = RunSubset(face, font, subset, reason);
  hb_face_destroy(face);
  return made;
}

// A PostScript name keeps to the characters that need no escape in a name.
std::string FontName(FT_Face face, const std::string& family) {
  const char* postscript = FT_Get_Postscript_Name(face);
  std::string source = postscript ? postscript : family;
  std::string name;
  for (unsigned char ch : source)
    if (ch > 0x20 && ch < 0x7F && !std::strchr("()<>[]{}/%#", ch)) name += char(ch);
  return name.empty() ? "Font" : name;
}

double Thousandths(double units, double unitsPerEm) { return units * 1000.0 / unitsPerEm; }

// The widths of the codes: the commonest as the default, the others listed
// in runs of consecutive codes.
std::string WidthEntries(const std::vector<int32_t>& widths) {
  std::unordered_map<int64_t, int> counts;
  int64_t common = 0;
  int best = 0;
  for (size_t code = 1; code < widths.size(); ++code) {
    int64_t width = widths[code];
    if (++counts[width] > best) best = counts[width], common = width;
  }
  std::string text = "/DW ";
  AppendInteger(text, common);
  text += "/W[";
  size_t code = 1;
  while (code < widths.size()) {
    if (widths[code] == common) {
      ++code;
      continue;
    }
    AppendInteger(text, int64_t(code));
    text += '[';
    for (; code < widths.size() && widths[code] != common; ++code) {
      AppendInteger(text, widths[code]);
      text += ' ';
    }
    text += ']';
  }
  return text + "]";
}

std::string DescriptorEntries(const TFontFace& face, const std::string& name) {
  FT_Face ft = face.Face;
  double upem = face.Metrics.UnitsPerEm;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
  double capHeight = os2 && os2->version >= 2 && os2->sCapHeight > 0 ? os2->sCapHeight
                                                                      : face.Metrics.WinAscent;
  // Symbolic: the glyphs are chosen by code, not by a standard encoding.
  int flags = 4 | (FT_IS_FIXED_WIDTH(ft) ? 1 : 0);
  std::string text = "<</Type/FontDescriptor/FontName/" + name + "/Flags ";
  AppendInteger(text, flags);
  text += "/FontBBox[";
  for (FT_Pos value : {ft->bbox.xMin, ft->bbox.yMin, ft->bbox.xMax, ft->bbox.yMax}) {
    AppendInteger(text, std::llround(Thousandths(double(value), upem)));
    text += ' ';
  }
  text += "]/ItalicAngle 0/Ascent ";
  AppendInteger(text, std::llround(Thousandths(face.Metrics.WinAscent, upem)));
  text += "/Descent ";
  AppendInteger(text, -std::llround(Thousandths(face.Metrics.WinDescent, upem)));
  text += "/CapHeight ";
  AppendInteger(text, std::llround(Thousandths(capHeight, upem)));
  text += "/StemV 80";
  return text;
}

std::string GlyphMap(const std::vector<uint16_t>& glyphs) {
  std::string bytes;
  for (uint16_t glyph : glyphs) bytes += char(glyph >> 8), bytes += char(glyph & 0xFF);
  return bytes;
}

void WriteFont(TPdfWriter& writer, const TPdfFont& font) {
  TSubset subset;
  std::string reason;
  bool embedded = SubsetFont(font, subset, reason);
  if (!embedded) {
    Diagnose("the font " + font.File + " is not embedded in the PDF: " + reason);
    subset.NewGlyphs.assign(font.Glyphs.begin(), font.Glyphs.end());
  }
  std::string name = FontName(font.Face->Face, font.Face->Family);
  if (embedded) name = SubsetTag(font.Glyphs) + "+" + name;
  int cidFont = ReserveObject(writer), descriptor = ReserveObject(writer);
  int program = embedded ? ReserveObject(writer) : 0;
  int toUnicode = ReserveObject(writer), glyphMap = ReserveObject(writer);
  auto reference = [](int number) {
    std::string text;
    AppendInteger(text, number);
    return text + " 0 R";
  };
  WriteObject(writer, font.Number,
              "<</Type/Font/Subtype/Type0/BaseFont/" + name +
                  "/Encoding/Identity-H/DescendantFonts[" + reference(cidFont) +
                  "]/ToUnicode " + reference(toUnicode) + ">>");
  WriteObject(writer, cidFont,
              "<</Type/Font/Subtype/CIDFontType2/BaseFont/" + name +
                  "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                  "/FontDescriptor " + reference(descriptor) + WidthEntries(font.Widths) +
                  "/CIDToGIDMap " + reference(glyphMap) + ">>");
  std::string entries = DescriptorEntries(*font.Face, name);
  if (embedded) entries += "/FontFile2 " + reference(program);
  WriteObject(writer, descriptor, entries + ">>");
  if (embedded) {
    std::string length = "/Length1 ";
    AppendInteger(length, int64_t(subset.Program.size()));
    WriteStream(writer, program, length, subset.Program);
  }
  WriteStream(writer, toUnicode, "", ToUnicodeMap(font.Characters));
  WriteStream(writer, glyphMap, "", GlyphMap(subset.NewGlyphs));
}

void AppendUtf16(std::string& text, char32_t character) {
  if (character < 0x10000) return AppendHex16(text, uint32_t(character));
  uint32_t rest = uint32_t(character) - 0x10000;
  AppendHex16(text, 0xD800 + (rest >> 10));
  AppendHex16(text, 0xDC00 + (rest & 0x3FF));
}

}  // namespace

TPdfFont& PdfFontFor(TPdfFonts& fonts, TPdfWriter& writer, const TFontFace& face) {
  for (auto& font : fonts.Fonts)
    if (font->File == face.File && font->Index == face.Index) return *font;
  auto font = std::make_unique<TPdfFont>();
  font->File = face.File;
  font->Index = face.Index;
  font->Face = &face;
  font->Number = ReserveObject(writer);
  font->Name = int(fonts.Fonts.size()) + 1;
  fonts.Fonts.push_back(std::move(font));
  return *fonts.Fonts.back();
}

uint16_t PdfCode(TPdfFont& font, uint32_t glyph, char32_t character, double advance) {
  uint64_t key = uint64_t(glyph) << 32 | uint32_t(character);
  auto found = font.Codes.find(key);
  if (found != font.Codes.end()) return found->second;
  if (font.Glyphs.size() > 0xFFFF) return 0;
  auto code = uint16_t(font.Glyphs.size());
  font.Glyphs.push_back(glyph);
  font.Characters.push_back(character);
  font.Widths.push_back(PdfWidth(font, advance));
  font.Codes.emplace(key, code);
  return code;
}

int32_t PdfWidth(const TPdfFont& font, double advance) {
  return int32_t(std::lround(Thousandths(advance, font.Face->Metrics.UnitsPerEm)));
}

void WritePdfFonts(TPdfWriter& writer, const TPdfFonts& fonts) {
  for (const auto& font : fonts.Fonts) WriteFont(writer, *font);
}

std::string SubsetTag(const std::vector<uint32_t>& glyphs) {
  uint64_t hash = 1469598103934665603ull;
  for (uint32_t glyph : glyphs) hash = (hash ^ glyph) * 1099511628211ull;
  std::string tag;
  for (int i = 0; i < 6; ++i, hash /= 26) tag += char('A' + hash % 26);
  return tag;
}

std::string ToUnicodeMap(const std::vector<char32_t>& characters) {
  std::string text =
      "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
      "/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n";
  for (size_t first = 1; first < characters.size(); first += CodesPerBlock) {
    size_t last = std::min(characters.size(), first + CodesPerBlock);
    AppendInteger(text, int64_t(last - first));
    text += " beginbfchar\n";
    for (size_t code = first; code < last; ++code) {
      text += '<';
      AppendHex16(text, uint32_t(code));
      text += "><";
      AppendUtf16(text, characters[code]);
      text += ">\n";
    }
    text += "endbfchar\n";
  }
  return text + "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
}

}  // namespace tolvane
