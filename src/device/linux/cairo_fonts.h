// Fonts on Linux: faces (device/fonts/font_face.h) found by fontconfig,
// read from their own tables or loaded with FreeType, once for the
// process; and for the cairo output kinds, per context a scaled font for
// every LOGFONTA drawn with.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

#include "device/device.h"
#include "device/fonts/code_page.h"
#include "device/fonts/font_face.h"
#include "device/fonts/font_layout.h"

typedef struct FT_FaceRec_* FT_Face;

namespace tolvane {

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

// FreeType's face of a face: made when the face is loaded through
// FreeType, else when first asked for; null when FreeType cannot open it.
FT_Face FreeTypeFace(const TFontFace& face);

// FaceGlyphs with Blank filled in, for the cairo drawings that skip blank
// glyphs.
const TFaceGlyphs& FaceGlyphsWithBlanks(const TFontFace& face, const TCodePageTable& codePage);

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
