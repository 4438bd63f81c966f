#include "device/sfnt/sfnt_face.h"

#include <cstdint>
#include <cstring>

#include "device/sfnt/sfnt_tables.h"

namespace tolvane {

namespace {

// The sizes FreeType asks of a table before it reads it; a shorter one it
// reads its own way, so such a face is left to it.
constexpr unsigned HeadSize = 54;
constexpr unsigned HheaSize = 36;
constexpr unsigned MaxpSize = 6;
constexpr unsigned PostSize = 32;
constexpr unsigned Os2Size[3] = {78, 86, 96};  // versions 0, 1, 2 and later
constexpr unsigned NoOs2 = 0xFFFF;             // FreeType's mark of a table it ignores
constexpr unsigned SmallestEm = 16, LargestEm = 16384;

// A table's bytes; its fields read as 0 past its end.
using TTable = std::string_view;

uint16_t U16(TTable table, size_t at) { return SfntField16(table, at); }
int16_t S16(TTable table, size_t at) { return int16_t(SfntField16(table, at)); }
uint32_t U32(TTable table, size_t at) { return SfntField32(table, at); }

struct TSfntTables {
  TTable Head, Hhea, Maxp, Hmtx, Os2, Post, Name, Cmap;
};

TSfntTables FindTables(std::string_view file, size_t directory) {
  auto find = [&](const char* tag) { return FindSfntTable(file, directory, tag); };
  return TSfntTables{find("head"), find("hhea"), find("maxp"), find("hmtx"),
                     find("OS/2"), find("post"), find("name"), find("cmap")};
}

// TrueType outlines and no variations: what FreeType reads of other faces
// (CFF outlines, named instances) is not what their tables say plainly.
bool PlainTrueType(std::string_view file, size_t directory) {
  auto has = [&](const char* tag) { return !FindSfntTable(file, directory, tag).empty(); };
  return has("glyf") && has("loca") && !has("fvar") && !has("CFF ") && !has("CFF2");
}

unsigned Os2Needed(unsigned version) { return Os2Size[version < 2 ? version : 2]; }

bool TablesComplete(const TSfntTables& t) {
  if (t.Head.size() < HeadSize || t.Hhea.size() < HheaSize || t.Maxp.size() < MaxpSize ||
      t.Post.size() < PostSize || t.Cmap.size() == 0)
    return false;
  unsigned upem = U16(t.Head, 18);
  unsigned metrics = U16(t.Hhea, 34);
  unsigned version = U16(t.Os2, 0);
  return upem >= SmallestEm && upem <= LargestEm && metrics > 0 &&
         metrics <= U16(t.Maxp, 4) && t.Hmtx.size() >= 4 * metrics && version != NoOs2 &&
         t.Os2.size() >= Os2Needed(version);
}

// The OS/2 metrics; false for a face whose cell those leave empty, whose
// sizes then come from tables that FreeType weighs its own way.
bool ReadSfntMetrics(const TSfntTables& t, TFontMetrics& metrics) {
  metrics.UnitsPerEm = U16(t.Head, 18);
  metrics.AverageWidth = S16(t.Os2, 2);
  metrics.WinAscent = U16(t.Os2, 74);
  metrics.WinDescent = U16(t.Os2, 76);
  return metrics.WinAscent + metrics.WinDescent > 0;
}

// The subtable of the character map that FreeType chooses for a face: of
// the Unicode ones, the last for all of Unicode, else the last; of the
// symbol ones, the first. Its offset in the map; 0 for none.
unsigned ChosenMap(TTable cmap, bool& symbol) {
  unsigned count = U16(cmap, 2), wide = 0, unicode = 0, symbols = 0;
  for (unsigned n = 0; n < count; ++n) {
    unsigned platform = U16(cmap, 4 + 8 * n), encoding = U16(cmap, 6 + 8 * n);
    unsigned offset = U32(cmap, 8 + 8 * n);
    if ((platform == 0 && encoding != 5) || (platform == 3 && (encoding == 1 || encoding == 10)))
      unicode = offset;
    if ((platform == 0 && encoding == 4) || (platform == 3 && encoding == 10)) wide = offset;
    if (platform == 3 && encoding == 0 && symbols == 0) symbols = offset;
  }
  symbol = !wide && !unicode;
  return wide ? wide : unicode ? unicode : symbols;
}

// A format 4 map whose segments are in order and whose glyph lists lie
// within it; FreeType takes others its own way.
bool SoundSegmentMap(TTable map) {
  unsigned length = U16(map, 2), segments = U16(map, 6) / 2;
  if (segments == 0 || length > map.size() || 16 + 8 * segments > length) return false;
  unsigned previous = 0;
  for (unsigned i = 0; i < segments; ++i) {
    unsigned end = U16(map, 14 + 2 * i), start = U16(map, 16 + 2 * segments + 2 * i);
    unsigned rangeAt = 16 + 6 * segments + 2 * i, range = U16(map, rangeAt);
    if (start > end || (i > 0 && start <= previous)) return false;
    if (range != 0 && (range % 2 || rangeAt + range + 2 * (end - start) + 2 > length)) return false;
    previous = end;
  }
  return U16(map, 14 + 2 * (segments - 1)) == 0xFFFF;
}

bool SoundGroupMap(TTable map) {
  uint32_t length = U32(map, 4), groups = U32(map, 12);
  if (length < 16 || length > map.size() || groups > (length - 16) / 12) return false;
  uint32_t previous = 0;
  for (uint32_t i = 0; i < groups; ++i) {
    uint32_t start = U32(map, 16 + 12 * i), end = U32(map, 20 + 12 * i);
    if (start > end || (i > 0 && start <= previous) || end > 0x10FFFF) return false;
    previous = end;
  }
  return true;
}

// The map of the face, as a table of its own; empty when FreeType would
// choose none or one this does not read (formats other than 4 and 12).
TTable CharacterMap(TTable cmap, bool& symbol) {
  unsigned offset = ChosenMap(cmap, symbol);
  if (offset == 0 || offset >= cmap.size()) return {};
  TTable map = cmap.substr(offset);
  unsigned format = U16(map, 0);
  if (format == 4 && SoundSegmentMap(map)) return map.substr(0, U16(map, 2));
  if (format == 12 && SoundGroupMap(map)) return map.substr(0, U32(map, 4));
  return {};
}

uint32_t SegmentGlyph(TTable map, uint32_t character) {
  unsigned segments = U16(map, 6) / 2;
  if (character > 0xFFFF) return 0;
  for (unsigned i = 0; i < segments; ++i) {
    if (character > U16(map, 14 + 2 * i)) continue;
    unsigned start = U16(map, 16 + 2 * segments + 2 * i);
    if (character < start) return 0;
    unsigned delta = U16(map, 16 + 4 * segments + 2 * i);
    unsigned rangeAt = 16 + 6 * segments + 2 * i, range = U16(map, rangeAt);
    if (range == 0) return (character + delta) & 0xFFFF;
    unsigned glyph = U16(map, rangeAt + range + 2 * (character - start));
    return glyph ? (glyph + delta) & 0xFFFF : 0;
  }
  return 0;
}

uint32_t GroupGlyph(TTable map, uint32_t character) {
  uint32_t groups = U32(map, 12);
  for (uint32_t i = 0; i < groups; ++i) {
    uint32_t start = U32(map, 16 + 12 * i), end = U32(map, 20 + 12 * i);
    if (character >= start && character <= end) return U32(map, 24 + 12 * i) + (character - start);
  }
  return 0;
}

// The glyph of a character; 0 for none, as for a glyph past the face's end.
uint32_t GlyphOf(TTable map, uint32_t character, unsigned glyphCount) {
  uint32_t glyph = U16(map, 0) == 4 ? SegmentGlyph(map, character) : GroupGlyph(map, character);
  return glyph < glyphCount ? glyph : 0;
}

bool PostScriptCharacter(unsigned ch) {
  return ch > 32 && ch < 127 && !std::strchr("[](){}<>/%", int(ch));
}

// The PostScript name (name 6) in its Windows Unicode English record, else
// its Macintosh Roman one. False when there is none or it has a character
// that a PostScript name cannot hold, which FreeType treats its own way.
bool ReadPostScriptName(TTable name, std::string& result) {
  unsigned count = U16(name, 2), storage = U16(name, 4);
  int windows = -1, mac = -1;
  for (unsigned n = 0; n < count; ++n) {
    unsigned at = 6 + 12 * n;
    if (U16(name, at + 6) != 6 || U16(name, at + 8) == 0) continue;
    unsigned platform = U16(name, at), encoding = U16(name, at + 2), language = U16(name, at + 4);
    if (platform == 3 && encoding == 1 && language == 0x409) windows = int(n);
    if (platform == 1 && encoding == 0 && language == 0) mac = int(n);
  }
  int chosen = windows >= 0 ? windows : mac;
  if (chosen < 0) return false;
  unsigned at = 6 + 12 * unsigned(chosen);
  unsigned length = U16(name, at + 8), start = storage + U16(name, at + 10);
  if (start + length > name.size()) return false;
  unsigned step = windows >= 0 ? 2 : 1;
  result.clear();
  for (unsigned i = 0; i + step <= length; i += step) {
    unsigned ch = step == 2 ? U16(name, start + i) : uint8_t(name[start + i]);
    if (!PostScriptCharacter(ch)) return false;
    result += char(ch);
  }
  return !result.empty();
}

bool ReadTables(const TSfntTables& t, TFontFace& face) {
  bool symbol = false;
  if (CharacterMap(t.Cmap, symbol).size() == 0) return false;
  if (!ReadSfntMetrics(t, face.Metrics)) return false;
  if (!ReadPostScriptName(t.Name, face.PostScriptName)) return false;
  face.SymbolMap = symbol;
  face.BoundingBox[0] = S16(t.Head, 36);
  face.BoundingBox[1] = S16(t.Head, 38);
  face.BoundingBox[2] = S16(t.Head, 40);
  face.BoundingBox[3] = S16(t.Head, 42);
  face.FixedPitch = U32(t.Post, 12) != 0;
  int16_t capHeight = U16(t.Os2, 0) >= 2 ? S16(t.Os2, 88) : 0;
  face.CapHeight = capHeight > 0 ? capHeight : 0;
  return true;
}

// Advances in font units: glyphs past the last metric share its advance.
uint16_t AdvanceOf(TTable hmtx, unsigned metrics, uint32_t glyph) {
  return U16(hmtx, 4 * (glyph < metrics ? glyph : metrics - 1));
}

}  // namespace

bool ReadSfntFace(std::string_view mapped, int index, TFontFace& face) {
  if (index < 0 || index > 0xFFFF) return false;
  size_t directory = 0;
  bool read = !mapped.empty() && FindSfntDirectory(mapped, index, directory) &&
              PlainTrueType(mapped, directory);
  if (read) {
    TSfntTables tables = FindTables(mapped, directory);
    read = TablesComplete(tables) && ReadTables(tables, face);
  }
  if (!read) return false;
  face.Sfnt = mapped;
  face.SfntDirectory = directory;
  if (face.Metrics.AverageWidth <= 0) {
    // What FreeType measures then: the advance of 'x' through the Unicode map.
    if (face.SymbolMap) {
      face.Sfnt = {};
      return false;
    }
    TFaceGlyphs x{};
    TCodePageTable ascii{};
    ascii.Character[0] = U'x';
    BuildSfntGlyphs(face, ascii, x);
    face.Metrics.AverageWidth = x.Glyph[0] && x.Advance[0] > 0 ? x.Advance[0]
                                                                : face.Metrics.UnitsPerEm / 2;
  }
  return true;
}

void BuildSfntGlyphs(const TFontFace& face, const TCodePageTable& codePage, TFaceGlyphs& glyphs) {
  TSfntTables t = FindTables(face.Sfnt, face.SfntDirectory);
  bool symbol = false;
  TTable map = CharacterMap(t.Cmap, symbol);
  unsigned glyphCount = U16(t.Maxp, 4), metrics = U16(t.Hhea, 34);
  for (int byte = 0; byte < 256; ++byte) {
    uint32_t glyph;
    if (face.SymbolMap) {
      // Symbol fonts keep their glyphs at 0xF000 plus the byte.
      glyph = GlyphOf(map, 0xF000 + byte, glyphCount);
      if (!glyph) glyph = GlyphOf(map, byte, glyphCount);
    } else {
      glyph = GlyphOf(map, codePage.Character[byte], glyphCount);
    }
    glyphs.Glyph[byte] = glyph;
    glyphs.Advance[byte] = AdvanceOf(t.Hmtx, metrics, glyph);
  }
}

}  // namespace tolvane
