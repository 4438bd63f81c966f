#include "device/sfnt/sfnt_tables.h"

#include <algorithm>
#include <cstring>

namespace tolvane {

namespace {

constexpr size_t HeaderSize = 12;
constexpr size_t RecordSize = 16;
constexpr uint32_t ChecksumMagic = 0xB1B0AFBA;
// Where the head table keeps the whole file's checksum adjustment.
constexpr size_t AdjustmentOffset = 8;

uint32_t Checksum(std::string_view data) {
  uint32_t sum = 0;
  for (size_t at = 0; at < data.size(); at += 4) {
    uint32_t word = 0;
    for (size_t i = 0; i < 4; ++i)
      word = word << 8 | (at + i < data.size() ? static_cast<unsigned char>(data[at + i]) : 0);
    sum += word;
  }
  return sum;
}

}  // namespace

uint16_t SfntRead16(std::string_view data, size_t at) {
  return uint16_t(uint32_t(static_cast<unsigned char>(data[at])) << 8 |
                  static_cast<unsigned char>(data[at + 1]));
}

uint32_t SfntRead32(std::string_view data, size_t at) {
  return uint32_t(SfntRead16(data, at)) << 16 | SfntRead16(data, at + 2);
}

uint16_t SfntField16(std::string_view table, size_t at) {
  return at < table.size() && table.size() - at >= 2 ? SfntRead16(table, at) : 0;
}

uint32_t SfntField32(std::string_view table, size_t at) {
  return uint32_t(SfntField16(table, at)) << 16 | SfntField16(table, at + 2);
}

void SfntPut16(std::string& data, uint32_t value) {
  data += char(value >> 8 & 0xFF);
  data += char(value & 0xFF);
}

void SfntPut32(std::string& data, uint32_t value) {
  SfntPut16(data, value >> 16);
  SfntPut16(data, value & 0xFFFF);
}

void SfntSet16(std::string& data, size_t at, uint32_t value) {
  data[at] = char(value >> 8 & 0xFF);
  data[at + 1] = char(value & 0xFF);
}

bool FindSfntDirectory(std::string_view file, int index, size_t& directory) {
  if (file.size() < HeaderSize) return false;
  directory = 0;
  if (file.substr(0, 4) == "ttcf") {
    uint32_t count = SfntRead32(file, 8);
    if (index < 0 || uint32_t(index) >= count || HeaderSize + 4 * size_t(index) + 4 > file.size())
      return false;
    directory = SfntRead32(file, HeaderSize + 4 * size_t(index));
  } else if (index != 0) {
    return false;
  }
  return directory <= file.size() - HeaderSize &&
         SfntRead16(file, directory + 4) * RecordSize <= file.size() - directory - HeaderSize;
}

std::string_view FindSfntTable(std::string_view file, size_t directory, const char* tag) {
  size_t count = SfntRead16(file, directory + 4);
  for (size_t i = 0; i < count; ++i) {
    size_t record = directory + HeaderSize + i * RecordSize;
    if (file.compare(record, 4, tag) != 0) continue;
    uint32_t offset = SfntRead32(file, record + 8), length = SfntRead32(file, record + 12);
    if (offset > file.size() || length > file.size() - offset) return {};
    return file.substr(offset, length);
  }
  return {};
}

bool ReadSfntTables(std::string_view font, std::vector<TSfntTable>& tables) {
  size_t directory = 0;
  if (!FindSfntDirectory(font, 0, directory) || directory != 0) return false;  // not a collection
  size_t count = SfntRead16(font, 4);
  for (size_t i = 0; i < count; ++i) {
    size_t record = HeaderSize + i * RecordSize;
    uint32_t offset = SfntRead32(font, record + 8), length = SfntRead32(font, record + 12);
    if (offset > font.size() || length > font.size() - offset) return false;
    tables.push_back({std::string(font.substr(record, 4)), std::string(font.substr(offset, length))});
  }
  return true;
}

std::string WriteSfntTables(uint32_t version, std::vector<TSfntTable>& tables) {
  std::sort(tables.begin(), tables.end(),
            [](const TSfntTable& a, const TSfntTable& b) { return a.Tag < b.Tag; });
  uint32_t count = uint32_t(tables.size()), power = 1, log = 0;
  while (power * 2 <= count) power *= 2, ++log;
  std::string font;
  SfntPut32(font, version);
  SfntPut16(font, count), SfntPut16(font, power * 16), SfntPut16(font, log),
      SfntPut16(font, count * 16 - power * 16);
  size_t offset = HeaderSize + count * RecordSize;
  std::string body;
  size_t head = std::string::npos;
  for (TSfntTable& table : tables) {
    if (table.Tag == "head" && table.Data.size() >= AdjustmentOffset + 4) {
      std::memset(&table.Data[AdjustmentOffset], 0, 4);
      head = offset + body.size();
    }
    font += table.Tag;
    SfntPut32(font, Checksum(table.Data));
    SfntPut32(font, uint32_t(offset + body.size()));
    SfntPut32(font, uint32_t(table.Data.size()));
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

}  // namespace tolvane
