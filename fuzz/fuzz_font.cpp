// The TrueType faces of the PDF and PostScript writers: the input is a font
// file (or collection). The face is read from its tables and its glyphs
// looked up, which must stay within the face; then it is subset, and what
// is cut must be a font that reads again, names each kept glyph once, and
// comes out the same when cut again with all its glyphs. Cut with its
// outlines mapped (composites flattened), it must read again too.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "device/fonts/font_face.h"
#include "device/fonts/code_page.h"
#include "device/sfnt/sfnt_embed.h"
#include "device/sfnt/sfnt_face.h"
#include "device/sfnt/sfnt_subset.h"
#include "device/sfnt/sfnt_tables.h"
#include "fuzz_scratch.h"

namespace {

[[noreturn]] void Wrong(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void CheckSubset(const tolvane::TSfntSubset& subset) {
  const std::vector<uint32_t>& old = subset.OldGlyphs;
  if (old.empty() || old[0] != 0) Wrong("the subset lacks glyph 0");
  for (size_t i = 1; i < old.size(); ++i)
    if (old[i] <= old[i - 1]) Wrong("the subset's glyphs are out of order");
  std::vector<uint32_t> all(old.size());
  for (uint32_t glyph = 0; glyph < all.size(); ++glyph) all[glyph] = glyph;
  tolvane::TSfntSubset again;
  std::string reason;
  if (!tolvane::SubsetTrueType(subset.Program, 0, all, again, reason)) Wrong("the subset cannot be read");
  if (again.Program != subset.Program) Wrong("the subset changes when cut again");
  std::string mapped = subset.Program;
  if (!tolvane::ReplaceCharacterMap(mapped, {{'A', 1}, {0xE9, uint16_t(old.size() - 1)}}))
    Wrong("the subset takes no character map");
  std::vector<size_t> pieces = tolvane::FontPieces(mapped, 4000);
  if (pieces.back() != mapped.size()) Wrong("the pieces miss the end of the font");
}

// The face as the PDF writer reads it; glyphs past the face's count would
// be glyphs the subset cannot hold.
void CheckFace(std::string_view file) {
  tolvane::TFontFace face{};
  if (!tolvane::ReadSfntFace(file, 0, face)) return;
  tolvane::TFaceGlyphs glyphs{};
  tolvane::BuildSfntGlyphs(face, tolvane::CodePageTable(1252), glyphs);
  for (uint32_t glyph : glyphs.Glyph)
    if (glyph > 0xFFFF) Wrong("a glyph past the face's count");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  EnterScratch(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  CheckFace(file);
  std::vector<uint32_t> glyphs = {1000, 65535};
  for (uint32_t glyph = 0; glyph < 64; ++glyph) glyphs.push_back(glyph);
  for (int index : {0, 1}) {
    tolvane::TSfntSubset subset;
    std::string reason;
    if (tolvane::SubsetTrueType(file, index, glyphs, subset, reason))
      CheckSubset(subset);
    else if (reason.empty())
      Wrong("a font refused without a reason");
  }
  // A bold face drawn in the frame of its regular one.
  const tolvane::TSfntTransform map{1.0, 0.0, 0.0, 151.0 / 159.0, 0.0, -90.0};
  tolvane::TSfntSubset mapped, again;
  std::string reason;
  if (tolvane::SubsetTrueType(file, 0, glyphs, mapped, reason, &map) &&
      !tolvane::SubsetTrueType(mapped.Program, 0, {1}, again, reason))
    Wrong("a mapped subset cannot be read");
  return 0;
}
