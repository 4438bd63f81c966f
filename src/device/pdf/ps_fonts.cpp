// Type 42 fonts: a face's TrueType subset in PostScript strings, its codes
// named after their characters (so that programs that turn PostScript into
// other formats still know the text), each name mapped to its glyph.
#include <cmath>
#include <cstdio>
#include <set>

#include "device/pdf/ps_resources.h"
#include "os/win32.h"

namespace tolvane {

namespace {

// A PostScript string holds at most 65,535 bytes; each piece of the font
// takes one, with the byte of padding that Type 42 fonts end them with.
constexpr size_t PieceSize = 65534;
// Bytes of the font file on a line of hexadecimal digits.
constexpr size_t HexLine = 36;

std::string GlyphName(char32_t character) {
  char name[16];
  std::snprintf(name, sizeof name, character < 0x10000 ? "uni%04X" : "u%X", unsigned(character));
  return name;
}

// The name of every code taken; a name that two codes would share goes to
// the first, the other is named after its code.
void NameCodes(const TPdfFont& font, std::string (&names)[256]) {
  std::set<std::string> taken;
  for (int code = 0; code < 256; ++code) {
    if (!font.Used[code]) {
      names[code] = ".notdef";
      continue;
    }
    names[code] = GlyphName(font.Characters[code]);
    if (!taken.insert(names[code]).second) {
      char name[8];
      std::snprintf(name, sizeof name, "c%02X", code);
      names[code] = name;
    }
  }
}

std::string FontHead(const TPdfFont& font, const std::string& name) {
  double upem = font.Face->Metrics.UnitsPerEm;
  std::string text = "%%BeginResource: font " + name + "\n/F";
  AppendInteger(text, font.Name);
  text += " 10 dict begin\n/FontType 42 def /FontName /" + name +
          " def /PaintType 0 def /FontMatrix [1 0 0 1 0 0] def\n/FontBBox [";
  for (double value : font.Face->BoundingBox) {
    AppendNumber(text, value / upem);
    text += ' ';
  }
  return text + "] def\n";
}

std::string EncodingAndGlyphs(const TPdfFont& font, const TPdfSubset& subset) {
  std::string names[256];
  NameCodes(font, names);
  std::string text = "/Encoding [";
  for (int code = 0; code < 256; ++code) text += (code % 16 ? " /" : "\n/") + names[code];
  text += "\n] def\n/CharStrings ";
  AppendInteger(text, font.Count + 1);
  text += " dict dup begin\n/.notdef 0 def\n";
  for (int code = 0; code < 256; ++code) {
    if (!font.Used[code]) continue;
    text += '/' + names[code] + ' ';
    AppendInteger(text, subset.Glyphs[code]);
    text += " def\n";
  }
  return text + "end def\n";
}

std::string FontStrings(const std::string& program) {
  std::string text = "/sfnts [\n";
  std::vector<size_t> pieces = FontPieces(program, PieceSize);
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    text += '<';
    for (size_t at = pieces[i]; at < pieces[i + 1]; ++at) {
      AppendHex8(text, static_cast<unsigned char>(program[at]));
      if ((at - pieces[i]) % HexLine == HexLine - 1) text += '\n';
    }
    text += "00>\n";
  }
  return text + "] def\n";
}

// Registers the font on the stack under /F<Name>, with the widths of its
// codes in thousandths of an em.
std::string Registration(const TPdfFont& font) {
  std::string text = "FontName currentdict end definefont\n[";
  for (int code = 0; code < 256; ++code) {
    AppendInteger(text, font.Widths[code]);
    text += code % 32 == 31 ? '\n' : ' ';
  }
  return text + "] 2 R\n";
}

// A face that cannot be embedded: the printer's Courier in its place.
std::string StandIn(const TPdfFont& font) {
  std::string text = "/F";
  AppendInteger(text, font.Name);
  text += " /Courier findfont [";
  for (int code = 0; code < 256; ++code) {
    AppendInteger(text, font.Widths[code]);
    text += ' ';
  }
  return text + "] 2 R\n";
}

}  // namespace

std::string Type42Resource(const TPdfFont& font, std::string& name) {
  TPdfSubset subset;
  std::string reason;
  name = PdfFontName(font);
  if (!SubsetPdfFont(font, subset, reason)) {
    Diagnose("the font " + font.File + " is not embedded in the PostScript: " + reason +
             "; the printer's Courier stands in for it");
    name.clear();
    return StandIn(font);
  }
  name = SubsetTag(font.Used, font.Glyphs) + "+" + name;
  return FontHead(font, name) + EncodingAndGlyphs(font, subset) + FontStrings(subset.Program) +
         Registration(font) + "%%EndResource\n";
}

}  // namespace tolvane
