#include "device/sfnt/sfnt_embed.h"

#include <algorithm>

#include "device/sfnt/sfnt_tables.h"

namespace tolvane {

namespace {

constexpr size_t HeaderSize = 12;
constexpr size_t RecordSize = 16;

// Format 4, one segment for each character (a report draws a few dozen),
// and the closing segment that every such map ends with.
std::string Format4(const std::vector<TCharacterGlyph>& pairs) {
  uint32_t segments = uint32_t(pairs.size()) + 1, power = 1, log = 0;
  while (power * 2 <= segments) power *= 2, ++log;
  std::string table;
  SfntPut16(table, 4);                                     // format
  SfntPut16(table, 16 + 8 * segments);                     // length
  SfntPut16(table, 0);                                     // language
  SfntPut16(table, 2 * segments), SfntPut16(table, 2 * power), SfntPut16(table, log),
      SfntPut16(table, 2 * segments - 2 * power);
  for (const TCharacterGlyph& pair : pairs) SfntPut16(table, pair.Character);  // end codes
  SfntPut16(table, 0xFFFF);
  SfntPut16(table, 0);                                                          // padding
  for (const TCharacterGlyph& pair : pairs) SfntPut16(table, pair.Character);  // start codes
  SfntPut16(table, 0xFFFF);
  for (const TCharacterGlyph& pair : pairs) SfntPut16(table, uint32_t(pair.Glyph - pair.Character) & 0xFFFF);
  SfntPut16(table, 1);
  for (uint32_t i = 0; i < segments; ++i) SfntPut16(table, 0);  // no glyph lists
  return table;
}

// Sorted by character, each character once (its first glyph), without
// 0xFFFF, which is the closing segment's own.
std::vector<TCharacterGlyph> MapEntries(std::vector<TCharacterGlyph> pairs) {
  std::stable_sort(pairs.begin(), pairs.end(), [](const TCharacterGlyph& a, const TCharacterGlyph& b) {
    return a.Character < b.Character;
  });
  pairs.erase(std::unique(pairs.begin(), pairs.end(),
                          [](const TCharacterGlyph& a, const TCharacterGlyph& b) {
                            return a.Character == b.Character;
                          }),
              pairs.end());
  std::erase_if(pairs, [](const TCharacterGlyph& pair) { return pair.Character == 0xFFFF; });
  return pairs;
}

// The Windows maps, symbol (encoding 0) before Unicode (encoding 1) as the
// table's records are ordered.
std::string CharacterMap(const std::vector<TCharacterGlyph>& unicode,
                         const std::vector<TCharacterGlyph>& symbols) {
  std::vector<std::pair<uint16_t, std::string>> maps;
  if (!symbols.empty()) maps.push_back({0, Format4(MapEntries(symbols))});
  maps.push_back({1, Format4(MapEntries(unicode))});
  std::string table;
  SfntPut16(table, 0), SfntPut16(table, uint32_t(maps.size()));  // version, maps
  uint32_t offset = 4 + 8 * uint32_t(maps.size());
  for (const auto& map : maps) {
    SfntPut16(table, 3), SfntPut16(table, map.first), SfntPut32(table, offset);  // Windows
    offset += uint32_t(map.second.size());
  }
  for (const auto& map : maps) table += map.second;
  return table;
}

// Where glyphs start inside the glyph table, from the glyph locations;
// nothing when the tables needed cannot be read.
void AddGlyphStarts(const std::string& font, size_t glyf, size_t glyfLength, size_t loca,
                    size_t locaLength, size_t head, std::vector<size_t>& places) {
  constexpr size_t LocationFormat = 50;  // in the head table
  if (glyf == 0 || loca == 0 || head == 0 || head + LocationFormat + 2 > font.size()) return;
  bool wide = SfntRead16(font, head + LocationFormat) != 0;
  size_t entry = wide ? 4 : 2;
  for (size_t at = loca; at + entry <= loca + locaLength; at += entry) {
    size_t offset = wide ? SfntRead32(font, at) : size_t(SfntRead16(font, at)) * 2;
    if (offset < glyfLength) places.push_back(glyf + offset);
  }
}

}  // namespace

std::vector<size_t> FontPieces(const std::string& font, size_t limit) {
  std::vector<size_t> places = {font.size()};
  size_t count = font.size() >= HeaderSize ? SfntRead16(font, 4) : 0;
  if (font.size() < HeaderSize + count * RecordSize) count = 0;
  size_t glyf = 0, glyfLength = 0, loca = 0, locaLength = 0, head = 0;
  for (size_t i = 0; i < count; ++i) {
    size_t record = HeaderSize + i * RecordSize;
    size_t offset = SfntRead32(font, record + 8), length = SfntRead32(font, record + 12);
    if (offset > font.size() || length > font.size() - offset) continue;
    places.push_back(offset);
    std::string tag = font.substr(record, 4);
    if (tag == "glyf") glyf = offset, glyfLength = length;
    if (tag == "loca") loca = offset, locaLength = length;
    if (tag == "head") head = offset;
  }
  AddGlyphStarts(font, glyf, glyfLength, loca, locaLength, head, places);
  std::erase_if(places, [](size_t place) { return place % 2 != 0; });
  std::sort(places.begin(), places.end());
  std::vector<size_t> pieces = {0};
  size_t step = std::max<size_t>(limit & ~size_t(1), 2);
  while (pieces.back() < font.size()) {
    size_t start = pieces.back();
    auto beyond = std::upper_bound(places.begin(), places.end(), start + step);
    size_t cut = beyond == places.begin() ? start : *(beyond - 1);
    if (cut <= start) cut = std::min(font.size(), start + step);
    pieces.push_back(cut);
  }
  return pieces;
}

bool ReplaceCharacterMap(std::string& font, const std::vector<TCharacterGlyph>& pairs,
                         const std::vector<TCharacterGlyph>& symbols) {
  std::vector<TSfntTable> tables;
  if (!ReadSfntTables(font, tables)) return false;
  std::erase_if(tables, [](const TSfntTable& table) { return table.Tag == "cmap"; });
  tables.push_back({"cmap", CharacterMap(pairs, symbols)});
  font = WriteSfntTables(SfntRead32(font, 0), tables);
  return true;
}

}  // namespace tolvane
