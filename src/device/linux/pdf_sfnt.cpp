#include "device/linux/pdf_sfnt.h"

#include <algorithm>
#include <cstring>

namespace tolvane {

namespace {

constexpr size_t HeaderSize = 12;
constexpr size_t RecordSize = 16;
constexpr uint32_t ChecksumMagic = 0xB1B0AFBA;
// Where the head table keeps the whole file's checksum adjustment.
constexpr size_t AdjustmentOffset = 8;

struct TTable {
  std::string Tag;
  std::string Data;
};

uint32_t Read32(const std::string& data, size_t at) {
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(data[at + i])); };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

uint16_t Read16(const std::string& data, size_t at) {
  return uint16_t(uint32_t(static_cast<unsigned char>(data[at])) << 8 |
                  static_cast<unsigned char>(data[at + 1]));
}

void Put16(std::string& data, uint32_t value) {
  data += char(value >> 8 & 0xFF);
  data += char(value & 0xFF);
}

void Put32(std::string& data, uint32_t value) {
  Put16(data, value >> 16);
  Put16(data, value & 0xFFFF);
}

uint32_t Checksum(const std::string& data) {
  uint32_t sum = 0;
  for (size_t at = 0; at < data.size(); at += 4) {
    uint32_t word = 0;
    for (size_t i = 0; i < 4; ++i)
      word = word << 8 | (at + i < data.size() ? static_cast<unsigned char>(data[at + i]) : 0);
    sum += word;
  }
  return sum;
}

// Format 4, one segment for each character (a report draws a few dozen),
// and the closing segment that every such map ends with.
std::string UnicodeMap(const std::vector<TCharacterGlyph>& pairs) {
  uint32_t segments = uint32_t(pairs.size()) + 1, power = 1, log = 0;
  while (power * 2 <= segments) power *= 2, ++log;
  std::string table;
  Put16(table, 0), Put16(table, 1);                    // version, one map
  Put16(table, 3), Put16(table, 1), Put32(table, 12);  // Windows Unicode, at 12
  Put16(table, 4);                                     // format
  Put16(table, 16 + 8 * segments);                     // length
  Put16(table, 0);                                     // language
  Put16(table, 2 * segments), Put16(table, 2 * power), Put16(table, log),
      Put16(table, 2 * segments - 2 * power);
  for (const TCharacterGlyph& pair : pairs) Put16(table, pair.Character);  // end codes
  Put16(table, 0xFFFF);
  Put16(table, 0);                                                          // padding
  for (const TCharacterGlyph& pair : pairs) Put16(table, pair.Character);  // start codes
  Put16(table, 0xFFFF);
  for (const TCharacterGlyph& pair : pairs) Put16(table, uint32_t(pair.Glyph - pair.Character) & 0xFFFF);
  Put16(table, 1);
  for (uint32_t i = 0; i < segments; ++i) Put16(table, 0);  // no glyph lists
  return table;
}

bool ReadTables(const std::string& font, std::vector<TTable>& tables) {
  if (font.size() < HeaderSize) return false;
  size_t count = Read16(font, 4);
  if (font.size() < HeaderSize + count * RecordSize) return false;
  for (size_t i = 0; i < count; ++i) {
    size_t record = HeaderSize + i * RecordSize;
    uint32_t offset = Read32(font, record + 8), length = Read32(font, record + 12);
    if (offset > font.size() || length > font.size() - offset) return false;
    tables.push_back({font.substr(record, 4), font.substr(offset, length)});
  }
  return true;
}

std::string WriteTables(uint32_t version, std::vector<TTable>& tables) {
  std::sort(tables.begin(), tables.end(),
            [](const TTable& a, const TTable& b) { return a.Tag < b.Tag; });
  uint32_t count = uint32_t(tables.size()), power = 1, log = 0;
  while (power * 2 <= count) power *= 2, ++log;
  std::string font;
  Put32(font, version);
  Put16(font, count), Put16(font, power * 16), Put16(font, log), Put16(font, count * 16 - power * 16);
  size_t offset = HeaderSize + count * RecordSize;
  std::string body;
  size_t head = std::string::npos;
  for (TTable& table : tables) {
    if (table.Tag == "head" && table.Data.size() >= AdjustmentOffset + 4) {
      std::memset(&table.Data[AdjustmentOffset], 0, 4);
      head = offset + body.size();
    }
    font += table.Tag;
    Put32(font, Checksum(table.Data));
    Put32(font, uint32_t(offset + body.size()));
    Put32(font, uint32_t(table.Data.size()));
    body += table.Data;
    body.resize((body.size() + 3) & ~size_t(3), '\0');
  }
  font += body;
  if (head != std::string::npos) {
    uint32_t adjustment = ChecksumMagic - Checksum(font);
    for (int i = 0; i < 4; ++i) font[head + AdjustmentOffset + i] = char(adjustment >> (24 - 8 * i));
  }
  return font;
}

// Where glyphs start inside the glyph table, from the glyph locations;
// nothing when the tables needed cannot be read.
void AddGlyphStarts(const std::string& font, size_t glyf, size_t glyfLength, size_t loca,
                    size_t locaLength, size_t head, std::vector<size_t>& places) {
  constexpr size_t LocationFormat = 50;  // in the head table
  if (glyf == 0 || loca == 0 || head == 0 || head + LocationFormat + 2 > font.size()) return;
  bool wide = Read16(font, head + LocationFormat) != 0;
  size_t entry = wide ? 4 : 2;
  for (size_t at = loca; at + entry <= loca + locaLength; at += entry) {
    size_t offset = wide ? Read32(font, at) : size_t(Read16(font, at)) * 2;
    if (offset < glyfLength) places.push_back(glyf + offset);
  }
}

}  // namespace

std::vector<size_t> FontPieces(const std::string& font, size_t limit) {
  std::vector<size_t> places = {font.size()};
  size_t count = font.size() >= HeaderSize ? Read16(font, 4) : 0;
  if (font.size() < HeaderSize + count * RecordSize) count = 0;
  size_t glyf = 0, glyfLength = 0, loca = 0, locaLength = 0, head = 0;
  for (size_t i = 0; i < count; ++i) {
    size_t record = HeaderSize + i * RecordSize;
    size_t offset = Read32(font, record + 8), length = Read32(font, record + 12);
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

bool ReplaceCharacterMap(std::string& font, std::vector<TCharacterGlyph> pairs) {
  std::vector<TTable> tables;
  if (!ReadTables(font, tables)) return false;
  std::stable_sort(pairs.begin(), pairs.end(), [](const TCharacterGlyph& a, const TCharacterGlyph& b) {
    return a.Character < b.Character;
  });
  pairs.erase(std::unique(pairs.begin(), pairs.end(),
                          [](const TCharacterGlyph& a, const TCharacterGlyph& b) {
                            return a.Character == b.Character;
                          }),
              pairs.end());
  // 0xFFFF is the closing segment's own.
  std::erase_if(pairs, [](const TCharacterGlyph& pair) { return pair.Character == 0xFFFF; });
  std::erase_if(tables, [](const TTable& table) { return table.Tag == "cmap"; });
  tables.push_back({"cmap", UnicodeMap(pairs)});
  font = WriteTables(Read32(font, 0), tables);
  return true;
}

}  // namespace tolvane
