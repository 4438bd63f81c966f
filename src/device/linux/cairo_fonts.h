// Fonts for the cairo output kinds, sized the way the graphics device
// interface sizes them: a face found by fontconfig, loaded once for the
// process, and per context a scaled font for every LOGFONTA drawn with.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "device/device.h"
#include "device/fonts/code_page.h"

typedef struct FT_FaceRec_* FT_Face;

namespace tolvane {

// What the sizes of a face rest on, in its own font units.
struct TFontMetrics {
  double UnitsPerEm;
  double WinAscent;     // OS/2 usWinAscent: the cell above the baseline
  double WinDescent;    // OS/2 usWinDescent: the cell below it
  double AverageWidth;  // OS/2 xAvgCharWidth
};

// The glyphs that the 256 bytes of one code page draw with in one face.
struct TFaceGlyphs {
  uint32_t Glyph[256];
  bool Blank[256];      // nothing to draw (a space): no ink, only an advance
  double Advance[256];  // font units
  bool BlanksFound;     // Blank is filled in
};

struct TFontFace {
  std::string Family;  // the family fontconfig found
  std::string File;
  int Index;
  int Weight;          // the weight fontconfig gives the face, 1 to 1000
  bool SyntheticBold;  // the family has no face as heavy as asked for
  bool SyntheticOblique;
  TFontMetrics Metrics;
  std::string PostScriptName;  // the face's own, else its family
  double BoundingBox[4];       // font units: left, bottom, right, top
  bool FixedPitch;
  double CapHeight;            // OS/2 sCapHeight; 0 when the face has none
  bool SymbolMap;              // glyphs are found through the symbol map
  // The face's file, mapped into memory, and where its table directory
  // starts in it, for faces read from their own tables (sfnt_face.h);
  // empty for the others. Faces live as long as the process.
  std::string_view Sfnt;
  size_t SfntDirectory = 0;
  // FreeType's face: made when the face is loaded through FreeType, else
  // when cairo first needs it (FreeTypeFace).
  mutable FT_Face Face = nullptr;
  // cairo's face, made when a cairo surface first draws with the face.
  mutable cairo_font_face_t* CairoFace = nullptr;
  mutable bool CairoFaceFailed = false;
  // The glyphs of each code page drawn with so far (FaceGlyphs).
  mutable std::map<int32_t, std::unique_ptr<TFaceGlyphs>> GlyphTables;
};

// The face that a face name and weight (0 for normal) ask for. An empty
// name asks for monospace, and so does a name that no installed family
// answers, so that a report keeps its fixed pitch. Found once per name,
// weight and slant for the process. Null only when no scalable font is
// installed at all.
// The PDF writer reads faces without FreeType where their tables allow it
// (sfnt_face.h); cairo draws with FreeType's faces, so its drivers read
// them with FreeType.
enum class TFaceReader { FreeType, Sfnt };
const TFontFace* FindFontFace(const std::string& faceName, int32_t weight, bool italic,
                              TFaceReader reader = TFaceReader::FreeType);

// Loads the face at index of file, with the reader asked for where it can
// read it, else with FreeType; a face without a PostScript name takes the
// family's. Null when neither can.
std::unique_ptr<TFontFace> LoadFontFace(const std::string& file, int index,
                                        const std::string& family, TFaceReader reader);

// FreeType's face of a face, opened when first asked for; null when
// FreeType cannot open it.
FT_Face FreeTypeFace(const TFontFace& face);

// The glyphs of a code page in a face, built once per face and code page;
// which of them are blank only when asked for.
const TFaceGlyphs& FaceGlyphs(const TFontFace& face, const TCodePageTable& codePage,
                              bool withBlanks = false);

// Whether a face of faceWeight stands in for a request of weight by
// thickening its strokes.
bool NeedsSyntheticBold(int32_t weight, int faceWeight);

// How a LOGFONTA is laid out on a device of dpiX by dpiY, in device pixels.
struct TFontLayout {
  cairo_matrix_t Matrix;        // font space (an em of 1) to device pixels
  double BaselineX, BaselineY;  // from the cell's top-left corner to the glyph origin
  double AdvanceX, AdvanceY;    // device pixels per font unit along the text
  double CellX, CellY;          // the cell's height, from its top to its bottom
};
TFontLayout LayOutFont(const LOGFONTA& font, const TFontMetrics& metrics, int32_t dpiX,
                       int32_t dpiY);

// The size that a height of 0 stands for, in points.
constexpr double DefaultFontPoints = 12.0;

// A font made for drawing: its face, glyphs, layout and scaled font.
struct TFontInstance {
  LOGFONTA Key;
  const TFontFace* Face;        // null: nothing can be drawn with it
  const TFaceGlyphs* Glyphs;
  TFontLayout Layout;
  cairo_scaled_font_t* Font;    // null when cairo could not make it
};

// Makes the font that font asks for on a device of the geometry, whose
// device pixels reach the surface through ctm.
void BuildFontInstance(const LOGFONTA& font, const TPrinterGeometry& geometry,
                       const cairo_matrix_t& ctm, TFontInstance& instance);
void ReleaseFontInstance(TFontInstance& instance);

}  // namespace tolvane
