// The faces that the document writers draw with: what a face's sizes, name
// and glyphs are, and its TrueType bytes for embedding. The platform finds
// the face for a font description (the one it would print with) and builds
// its glyph tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "device/device.h"
#include "device/fonts/code_page.h"

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

// A face as the platform found it. Faces live as long as the process, so a
// face's address names it.
struct TFontFace {
  std::string Family;  // the family the platform found
  std::string File;    // where the face's bytes come from; faces of one
  int Index;           // file and index embed as one font
  int Weight;          // the face's weight, 1 to 1000
  bool SyntheticBold;  // the family has no face as heavy as asked for
  bool SyntheticOblique;
  TFontMetrics Metrics;
  std::string PostScriptName;  // the face's own, else its family
  double BoundingBox[4];       // font units: left, bottom, right, top
  bool FixedPitch;
  double CapHeight;            // OS/2 sCapHeight; 0 when the face has none
  bool SymbolMap;              // glyphs are found through the symbol map
  // The face's file in memory, and where its table directory starts in
  // it, for faces read from their own tables (sfnt_face.h); empty for the
  // others.
  std::string_view Sfnt;
  size_t SfntDirectory = 0;
  // The glyphs of each code page drawn with so far (FaceGlyphs).
  mutable std::map<int32_t, std::unique_ptr<TFaceGlyphs>> GlyphTables;
};

// The face that a document draws font with: the one the platform prints it
// with. An empty or unknown name gives a fixed-pitch face, so that a report
// keeps its columns. Null only when no scalable font is installed at all.
const TFontFace* FindDocumentFace(const LOGFONTA& font);

// The weight a font description asks for: 0 (FW_DONTCARE) is normal, the
// rest up to 1000 as it stands.
int32_t RequestedWeight(int32_t weight);
// Whether a face of faceWeight must be drawn bolder than it is for a
// request of weight: bold asked for, and the family had nothing as heavy.
bool NeedsSyntheticBold(int32_t weight, int faceWeight);

// The glyphs and advances of a code page in a face, built once per face
// and code page.
const TFaceGlyphs& FaceGlyphs(const TFontFace& face, const TCodePageTable& codePage);

// The bytes of a face's file, for a face that does not hold them (Sfnt
// empty); UnmapFontFile lets them go. Empty when the file cannot be read.
std::string_view MapFontFile(const std::string& path);
void UnmapFontFile(std::string_view file);

}  // namespace tolvane
