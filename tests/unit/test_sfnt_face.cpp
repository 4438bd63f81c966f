// Faces read from their tables without FreeType must give the PDF writer
// exactly what FreeType gives it: every installed face is read both ways and
// compared, and so is a copy of one whose character map is for symbols.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/linux/cairo_fonts.h"

namespace tolvane {
namespace {

struct TFaceFile {
  std::string File;
  int Index;
};

// Every face fontconfig lists; none when fc-list is not there.
std::vector<TFaceFile> InstalledFaces() {
  std::vector<TFaceFile> faces;
  FILE* list = popen("fc-list --format '%{index}|%{file}\\n' 2>/dev/null", "r");
  if (!list) return faces;
  char line[4096];
  while (fgets(line, sizeof line, list)) {
    std::string text(line);
    size_t bar = text.find('|');
    if (bar == std::string::npos || text.size() < bar + 2) continue;
    faces.push_back({text.substr(bar + 1, text.size() - bar - 2), std::stoi(text.substr(0, bar))});
  }
  pclose(list);
  return faces;
}

// Faces live as long as the process, as they do for a job.
std::vector<std::unique_ptr<TFontFace>>& Kept() {
  static auto* kept = new std::vector<std::unique_ptr<TFontFace>>();
  return *kept;
}

const TFontFace* Load(const TFaceFile& face, TFaceReader reader) {
  auto loaded = LoadFontFace(face.File, face.Index, "Family", reader);
  if (!loaded) return nullptr;
  loaded->File = face.File;
  loaded->Index = face.Index;
  Kept().push_back(std::move(loaded));
  return Kept().back().get();
}

// Compares the two readings; true when the face was read from its tables.
bool ExpectSameReading(const TFaceFile& file) {
  SCOPED_TRACE(file.File + " #" + std::to_string(file.Index));
  const TFontFace* sfnt = Load(file, TFaceReader::Sfnt);
  const TFontFace* freeType = Load(file, TFaceReader::FreeType);
  EXPECT_EQ(sfnt == nullptr, freeType == nullptr);
  if (!sfnt || !freeType) return false;
  const TFontMetrics& a = sfnt->Metrics;
  const TFontMetrics& b = freeType->Metrics;
  EXPECT_EQ(a.UnitsPerEm, b.UnitsPerEm);
  EXPECT_EQ(a.WinAscent, b.WinAscent);
  EXPECT_EQ(a.WinDescent, b.WinDescent);
  EXPECT_EQ(a.AverageWidth, b.AverageWidth);
  EXPECT_EQ(sfnt->PostScriptName, freeType->PostScriptName);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(sfnt->BoundingBox[i], freeType->BoundingBox[i]) << i;
  EXPECT_EQ(sfnt->FixedPitch, freeType->FixedPitch);
  EXPECT_EQ(sfnt->CapHeight, freeType->CapHeight);
  EXPECT_EQ(sfnt->SymbolMap, freeType->SymbolMap);
  for (int32_t codePage : {1250, 1251, 1252, 437}) {
    const TFaceGlyphs& x = FaceGlyphs(*sfnt, CodePageTable(codePage));
    const TFaceGlyphs& y = FaceGlyphs(*freeType, CodePageTable(codePage));
    for (int byte = 0; byte < 256; ++byte) {
      EXPECT_EQ(x.Glyph[byte], y.Glyph[byte]) << "code page " << codePage << " byte " << byte;
      EXPECT_EQ(x.Advance[byte], y.Advance[byte]) << "code page " << codePage << " byte " << byte;
    }
  }
  return !sfnt->Sfnt.empty();
}

TEST(SfntFaces, EveryInstalledFaceReadsAsFreeTypeReadsIt) {
  std::vector<TFaceFile> faces = InstalledFaces();
  if (faces.empty()) GTEST_SKIP() << "fc-list lists no fonts";
  int fromTables = 0;
  bool monoFromTables = false;
  for (const TFaceFile& face : faces) {
    bool read = ExpectSameReading(face);
    fromTables += read;
    if (face.File.find("LiberationMono-Regular") != std::string::npos) monoFromTables = read;
  }
  std::printf("%d of %zu faces read from their tables\n", fromTables, faces.size());
  EXPECT_TRUE(monoFromTables) << "the face of the reports is read without FreeType";
}

// Unsigned big-endian 16-bit value of a font file.
unsigned U16(const std::string& font, size_t at) {
  return (unsigned char)font[at] << 8 | (unsigned char)font[at + 1];
}

// The font with every Unicode subtable of its character map marked as one
// for symbols (platform 3, encoding 0); false when it has no character map.
bool MarkAsSymbols(std::string& font) {
  unsigned tables = U16(font, 4);
  for (unsigned n = 0; n < tables; ++n) {
    size_t record = 12 + 16 * n;
    if (font.compare(record, 4, "cmap") != 0) continue;
    size_t cmap = U16(font, record + 8) << 16 | U16(font, record + 10);
    for (unsigned s = 0; s < U16(font, cmap + 2); ++s) {
      size_t entry = cmap + 4 + 8 * s;
      unsigned platform = U16(font, entry);
      if (platform == 0 || (platform == 3 && U16(font, entry + 2) != 0))
        font.replace(entry, 4, std::string("\0\3\0\0", 4));
    }
    return true;
  }
  return false;
}

TEST(SfntFaces, ASymbolFontReadsAsFreeTypeReadsIt) {
  const TFontFace* mono = FindFontFace("Courier New", 0, false);
  ASSERT_NE(mono, nullptr);
  std::ifstream in(mono->File, std::ios::binary);
  std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_TRUE(MarkAsSymbols(font));
  std::string path = testing::TempDir() + "tolvane-symbol-face.ttf";
  std::ofstream(path, std::ios::binary) << font;
  EXPECT_TRUE(ExpectSameReading({path, 0}));
  EXPECT_TRUE(Kept().back()->SymbolMap);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace tolvane
