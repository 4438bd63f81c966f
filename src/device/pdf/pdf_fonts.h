// The fonts of a document: each face drawn with has one code for each
// glyph and character, so that text extracts as the characters that were
// printed even where two of them share a glyph. A context draws in one code
// page, so its 256 bytes never need more codes than a face has. Each size of
// a face is a TrueType font of one-byte codes of its own; at the end of a
// PDF each is embedded as a subset of the glyphs it drew, with their widths
// and the map from codes back to characters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/fonts/font_face.h"
#include "device/sfnt/sfnt_embed.h"
#include "device/sfnt/sfnt_subset.h"
#include "device/pdf/pdf_writer.h"

namespace tolvane {

struct TPdfFont {
  std::string File;  // the face's file and its index in it
  int Index = 0;
  const TFontFace* Face = nullptr;  // the first face of the file drawn with
  int Name = 0;    // its name in PostScript is /F<Name>
  // By code: whether it is taken, the glyph, the character it stands for,
  // its advance in thousandths of an em. A character of the Windows ANSI
  // code page takes its code there where it is free, so that programs that
  // know only the encoding still read the text.
  bool Used[256] = {};
  uint32_t Glyphs[256] = {};
  char32_t Characters[256] = {};
  int32_t Widths[256] = {};
  int Count = 0;
  std::unordered_map<uint64_t, int> Codes;  // glyph and character to code
};

// A face at one size as the content draws it: its own codes, each glyph
// under up to two of them whose widths are the steps in device pixels that
// the glyph is seen followed by (a pitch cut to whole pixels gives two), so
// that the content needs no number between glyphs. When its 256 codes are
// taken, the size goes on in another font.
struct TPdfSizedFont {
  TPdfFont* Base = nullptr;
  double Scale = 0;  // pixels per em along the text
  // The map of the face's outlines into the frame it is drawn in.
  bool Transformed = false;
  TSfntTransform Transform{};
  int Number = 0;    // the font's object, written at the end
  int Name = 0;      // its resource name is /S<Name>
  bool Used[256] = {};
  char32_t Characters[256] = {};
  int BaseCodes[256] = {};   // by code, the face's own code of the glyph
  double Widths[256] = {};   // by code, thousandths of an em as written
  int Count = 0;
  int Announced = 0;         // codes a PostScript document has defined so far
  // Whether a glyph may take a second code: not in a font that goes on
  // after one whose codes ran out, so that a report of many glyphs needs one
  // more font, not one every few lines.
  bool SecondCodes = true;
  // By byte of the code page: its codes plus 1 (0: none yet) and their
  // steps in pixels.
  int16_t Codes[256][2] = {};
  double Steps[256][2] = {};
};

struct TPdfFonts {
  std::vector<std::unique_ptr<TPdfFont>> Fonts;
  std::vector<std::unique_ptr<TPdfSizedFont>> Sized;
};

// The document's font of base drawn scale pixels to the em, its outlines
// mapped by transform where one is given; a new one when fresh (the one
// before has no code left).
TPdfSizedFont& PdfSizedFontFor(TPdfFonts& fonts, TPdfFont& base, double scale,
                               bool fresh = false, const TSfntTransform* transform = nullptr);

// The code of sized that draws base's code baseCode (glyph and character)
// with a step of step pixels; -1 when no code is left.
int PdfSizedCode(TPdfSizedFont& sized, int baseCode, double step);

// The document's font for a face; faces of one file share one font. made
// tells whether it is new.
TPdfFont& PdfFontFor(TPdfFonts& fonts, const TFontFace& face, bool& made);

// The code that draws glyph as character; advance in font units. -1 when
// all 256 codes of the font are taken.
int PdfCode(TPdfFont& font, uint32_t glyph, char32_t character, double advance);

// The width that the font gives a glyph of advance font units, in
// thousandths of an em: what a viewer moves on after drawing it.
int32_t PdfWidth(const TPdfFont& font, double advance);

// Writes every font with its subset, widths and character map; a face that
// cannot be subset is named without its program, and says why.
void WritePdfFonts(TPdfWriter& writer, TPdfFonts& fonts);

// A font's program: a TrueType file of the glyphs of its codes, hinting
// and layout tables dropped, whose character map holds just the characters
// drawn.
struct TPdfSubset {
  std::string Program;
  std::vector<TCharacterGlyph> Map;  // the characters drawn, to glyphs of the subset
  uint32_t Glyphs[256] = {};         // by code, its glyph in the subset
};

// False, with the reason, when the face cannot be subset or has no
// TrueType outlines.
bool SubsetPdfFont(const TPdfFont& font, TPdfSubset& subset, std::string& reason);

// The face's PostScript name, kept to what a name may hold unescaped.
std::string PdfFontName(const TPdfFont& font);

// The six-letter tag of a subset's name, made from its codes and glyphs.
std::string SubsetTag(const bool (&used)[256], const uint32_t (&glyphs)[256]);

// The map from codes back to characters, as a CMap program.
std::string ToUnicodeMap(const bool (&used)[256], const char32_t (&characters)[256]);

}  // namespace tolvane
