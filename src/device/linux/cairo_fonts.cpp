#include "device/linux/cairo_fonts.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "device/linux/font_answers.h"
#include "device/linux/lazy_graphics.h"
#include "device/sfnt/sfnt_face.h"

namespace tolvane {

namespace {

struct TFaceRequest {
  std::string Name;
  int32_t Weight;
  bool Italic;
};

bool RequestBefore(const TFaceRequest& a, const TFaceRequest& b) {
  return std::tie(a.Name, a.Weight, a.Italic) < std::tie(b.Name, b.Weight, b.Italic);
}

struct TFaceIdentity {
  std::string File;
  int Index;
  bool Bold;
  bool Oblique;
};

bool IdentityBefore(const TFaceIdentity& a, const TFaceIdentity& b) {
  return std::tie(a.File, a.Index, a.Bold, a.Oblique) <
         std::tie(b.File, b.Index, b.Bold, b.Oblique);
}

// What FreeType and cairo hold of a face, made when first needed.
struct TFaceParts {
  FT_Face Face = nullptr;
  cairo_font_face_t* CairoFace = nullptr;
  bool CairoFaceFailed = false;
};

// Faces live as long as the process: every page of a job builds its font
// anew, and cairo's own caches keep referring to the faces it was given.
// The stores are never destroyed, so nothing is torn down behind cairo's
// back at exit.
struct TFaceStore {
  FT_Library Library = nullptr;
  bool LibraryFailed = false;
  std::map<TFaceRequest, const TFontFace*, decltype(&RequestBefore)> Requests{RequestBefore};
  std::map<TFaceIdentity, std::unique_ptr<TFontFace>, decltype(&IdentityBefore)> Faces{
      IdentityBefore};
  std::map<const TFontFace*, TFaceParts> Parts;  // by face
};

TFaceStore& Store() {
  static TFaceStore* store = new TFaceStore();
  return *store;
}

TFaceParts& Parts(const TFontFace& face) { return Store().Parts[&face]; }

// FreeType answers 0 for success, so none of its functions is called before
// the library is known to be there.
FT_Library Library() {
  TFaceStore& store = Store();
  if (!store.Library && !store.LibraryFailed &&
      (!LoadLazyLibrary(FreeTypeLibrary) || FT_Init_FreeType(&store.Library) != 0)) {
    store.Library = nullptr;
    store.LibraryFailed = true;
  }
  return store.Library;
}

// The OS/2 metrics, or what the other tables say when a font has none.
TFontMetrics ReadMetrics(FT_Face face) {
  TFontMetrics metrics{};
  metrics.UnitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 1000;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF) {
    metrics.WinAscent = os2->usWinAscent;
    metrics.WinDescent = os2->usWinDescent;
    metrics.AverageWidth = os2->xAvgCharWidth;
  }
  if (metrics.WinAscent + metrics.WinDescent <= 0) {
    metrics.WinAscent = face->ascender;
    metrics.WinDescent = -face->descender;
  }
  if (metrics.WinAscent + metrics.WinDescent <= 0) {
    metrics.WinAscent = metrics.UnitsPerEm * 0.8;
    metrics.WinDescent = metrics.UnitsPerEm * 0.2;
  }
  if (metrics.AverageWidth <= 0) {
    FT_Fixed advance = 0;
    FT_UInt glyph = FT_Get_Char_Index(face, 'x');
    if (glyph && FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance) == 0 && advance > 0)
      metrics.AverageWidth = static_cast<double>(advance);
    else
      metrics.AverageWidth = metrics.UnitsPerEm / 2;
  }
  return metrics;
}

FT_Face OpenFreeTypeFace(const std::string& file, int index) {
  FT_Library library = Library();
  if (!library) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(library, file.c_str(), index, &face) != 0) return nullptr;
  if (!FT_IS_SCALABLE(face)) {
    FT_Done_Face(face);
    return nullptr;
  }
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0)
    FT_Select_Charmap(face, FT_ENCODING_MS_SYMBOL);
  return face;
}

// What the PDF writer needs of a face besides its metrics.
void ReadFreeTypeFace(FT_Face face, const std::string& family, TFontFace& loaded) {
  const char* postscript = FT_Get_Postscript_Name(face);
  loaded.PostScriptName = postscript ? postscript : family;
  loaded.BoundingBox[0] = double(face->bbox.xMin);
  loaded.BoundingBox[1] = double(face->bbox.yMin);
  loaded.BoundingBox[2] = double(face->bbox.xMax);
  loaded.BoundingBox[3] = double(face->bbox.yMax);
  loaded.FixedPitch = FT_IS_FIXED_WIDTH(face);
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  loaded.CapHeight = os2 && os2->version >= 2 && os2->sCapHeight > 0 ? os2->sCapHeight : 0;
  loaded.SymbolMap = face->charmap && face->charmap->encoding == FT_ENCODING_MS_SYMBOL;
  loaded.Metrics = ReadMetrics(face);
  Parts(loaded).Face = face;
}

std::unique_ptr<TFontFace> LoadFace(const TFaceIdentity& identity, const std::string& family,
                                    int weight, TFaceReader reader) {
  auto loaded = LoadFontFace(identity.File, identity.Index, family, reader);
  if (!loaded) return nullptr;
  loaded->Family = family;
  loaded->File = identity.File;
  loaded->Index = identity.Index;
  loaded->Weight = weight;
  loaded->SyntheticBold = identity.Bold;
  loaded->SyntheticOblique = identity.Oblique;
  return loaded;
}

// cairo's face of a face, made the first time a cairo surface draws with it:
// the PDF writer reads the FreeType face itself and never loads cairo. The
// FreeType face outlives it, as every face lives as long as the process.
cairo_font_face_t* CairoFontFace(const TFontFace& face) {
  TFaceParts& parts = Parts(face);
  if (parts.CairoFace || parts.CairoFaceFailed) return parts.CairoFace;
  FT_Face ftFace = FreeTypeFace(face);
  if (!ftFace) {
    parts.CairoFaceFailed = true;
    return nullptr;
  }
  cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(ftFace, 0);
  if (cairo_font_face_status(cairoFace) != CAIRO_STATUS_SUCCESS) {
    cairo_font_face_destroy(cairoFace);
    parts.CairoFaceFailed = true;
    return nullptr;
  }
  unsigned int synthesize = (face.SyntheticBold ? CAIRO_FT_SYNTHESIZE_BOLD : 0) |
                            (face.SyntheticOblique ? CAIRO_FT_SYNTHESIZE_OBLIQUE : 0);
  if (synthesize) cairo_ft_font_face_set_synthesize(cairoFace, synthesize);
  parts.CairoFace = cairoFace;
  return cairoFace;
}

const TFontFace* FindLoadedFace(const std::string& name, int32_t weight, bool italic,
                                TFaceReader reader) {
  TFontAnswer answer;
  if (!FindFontAnswer(TFontRequest{name, weight, italic}, answer)) return nullptr;
  TFaceIdentity identity{answer.File, answer.Index,
                         answer.Embolden || NeedsSyntheticBold(weight, answer.Weight),
                         italic && answer.Upright};
  TFaceStore& store = Store();
  auto found = store.Faces.find(identity);
  if (found != store.Faces.end()) return found->second.get();
  std::unique_ptr<TFontFace> loaded = LoadFace(identity, answer.Family, answer.Weight, reader);
  if (!loaded) return nullptr;
  return store.Faces.emplace(identity, std::move(loaded)).first->second.get();
}

void BuildGlyphs(FT_Face face, const TCodePageTable& codePage, TFaceGlyphs& glyphs) {
  bool symbol = face->charmap && face->charmap->encoding == FT_ENCODING_MS_SYMBOL;
  for (int byte = 0; byte < 256; ++byte) {
    FT_UInt glyph = 0;
    if (symbol) {
      // Symbol fonts keep their glyphs at 0xF000 plus the byte.
      glyph = FT_Get_Char_Index(face, 0xF000 + byte);
      if (!glyph) glyph = FT_Get_Char_Index(face, byte);
    } else if (face->charmap) {
      glyph = FT_Get_Char_Index(face, codePage.Character[byte]);
    }
    FT_Fixed advance = 0;
    FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &advance);
    glyphs.Glyph[byte] = glyph;
    glyphs.Advance[byte] = static_cast<double>(advance);
  }
}

// Loading every glyph's outline is most of what building the table costs,
// and only the cairo drawings skip blank glyphs; the PDF writer never asks.
void FindBlanks(FT_Face face, TFaceGlyphs& glyphs) {
  for (int byte = 0; byte < 256; ++byte) {
    bool blank = false;
    if (face && FT_Load_Glyph(face, glyphs.Glyph[byte],
                      FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0)
      blank = face->glyph->format == FT_GLYPH_FORMAT_OUTLINE &&
              face->glyph->outline.n_contours == 0;
    glyphs.Blank[byte] = blank;
  }
  glyphs.BlanksFound = true;
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig 2.14 loses a few bytes while it reads its configuration, once
// per process; the leak checker of sanitizer builds is told so. Its stacks
// end inside the library (built without frame pointers), so the library as
// a whole is named.
// The program writes nothing to the console but its warnings, so the
// checker keeps quiet about having used it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

const TFontFace* FindFontFace(const std::string& faceName, int32_t weight, bool italic,
                              TFaceReader reader) {
  TFaceRequest request{faceName, RequestedWeight(weight), italic};
  TFaceStore& store = Store();
  auto found = store.Requests.find(request);
  if (found != store.Requests.end()) return found->second;
  const TFontFace* loaded = FindLoadedFace(request.Name, request.Weight, italic, reader);
  // A face that will not load (a broken file) gives way to monospace.
  if (!loaded && !request.Name.empty())
    loaded = FindLoadedFace("", request.Weight, italic, reader);
  store.Requests.emplace(request, loaded);
  return loaded;
}

std::unique_ptr<TFontFace> LoadFontFace(const std::string& file, int index,
                                        const std::string& family, TFaceReader reader) {
  auto loaded = std::make_unique<TFontFace>();
  if (reader == TFaceReader::Sfnt) {
    // Mapped for as long as the process runs, as faces are never let go.
    std::string_view mapped = MapFontFile(file);
    if (!mapped.empty() && ReadSfntFace(mapped, index, *loaded)) return loaded;
    UnmapFontFile(mapped);
  }
  FT_Face face = OpenFreeTypeFace(file, index);
  if (!face) return nullptr;
  ReadFreeTypeFace(face, family, *loaded);
  return loaded;
}

FT_Face FreeTypeFace(const TFontFace& face) {
  TFaceParts& parts = Parts(face);
  if (!parts.Face) parts.Face = OpenFreeTypeFace(face.File, face.Index);
  return parts.Face;
}

namespace {

const TFaceGlyphs& BuildFaceGlyphs(const TFontFace& face, const TCodePageTable& codePage,
                                   bool withBlanks) {
  auto& tables = face.GlyphTables;
  auto found = tables.find(codePage.CodePage);
  if (found == tables.end()) {
    auto glyphs = std::make_unique<TFaceGlyphs>();
    if (!face.Sfnt.empty())
      BuildSfntGlyphs(face, codePage, *glyphs);
    else
      BuildGlyphs(FreeTypeFace(face), codePage, *glyphs);
    found = tables.emplace(codePage.CodePage, std::move(glyphs)).first;
  }
  if (withBlanks && !found->second->BlanksFound) FindBlanks(FreeTypeFace(face), *found->second);
  return *found->second;
}

}  // namespace

const TFaceGlyphs& FaceGlyphs(const TFontFace& face, const TCodePageTable& codePage) {
  return BuildFaceGlyphs(face, codePage, false);
}

const TFaceGlyphs& FaceGlyphsWithBlanks(const TFontFace& face, const TCodePageTable& codePage) {
  return BuildFaceGlyphs(face, codePage, true);
}

// The writers read faces from their tables where they can.
const TFontFace* FindDocumentFace(const LOGFONTA& font) {
  std::string name(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
  return FindFontFace(name, font.lfWeight, font.lfItalic != 0, TFaceReader::Sfnt);
}

void BuildFontInstance(const LOGFONTA& font, const TPrinterGeometry& geometry,
                       const cairo_matrix_t& ctm, TFontInstance& instance) {
  instance = TFontInstance{};
  instance.Key = font;
  std::string name(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
  instance.Face = FindFontFace(name, font.lfWeight, font.lfItalic != 0);
  if (!instance.Face) return;
  instance.Glyphs = &FaceGlyphsWithBlanks(*instance.Face, CodePageTable(geometry.CodePage));
  instance.Layout = LayOutFont(font, instance.Face->Metrics, geometry.DpiX, geometry.DpiY);
  cairo_font_face_t* cairoFace = CairoFontFace(*instance.Face);
  if (!cairoFace) return;
  cairo_font_options_t* options = cairo_font_options_create();
  // Outlines as drawn, never bent to a pixel grid: the same shapes on paper,
  // on screen and in a picture, and glyph sizes that follow the cell exactly.
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  const TFontMatrix& m = instance.Layout.Matrix;
  cairo_matrix_t matrix{m.XX, m.YX, m.XY, m.YY, m.X0, m.Y0};
  cairo_scaled_font_t* scaled = cairo_scaled_font_create(cairoFace, &matrix, &ctm, options);
  cairo_font_options_destroy(options);
  if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
    cairo_scaled_font_destroy(scaled);
    return;
  }
  instance.Font = scaled;
}

void ReleaseFontInstance(TFontInstance& instance) {
  if (instance.Font) cairo_scaled_font_destroy(instance.Font);
  instance.Font = nullptr;
}

}  // namespace tolvane
