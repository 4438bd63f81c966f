// The table directory of a TrueType font file: big-endian fields, tables
// found by tag, and a file written anew from a list of tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

struct TSfntTable {
  std::string Tag;
  std::string Data;
};

// Big-endian fields; the caller has checked that they lie within data.
uint16_t SfntRead16(std::string_view data, size_t at);
uint32_t SfntRead32(std::string_view data, size_t at);
// The same for fields of a table that may be short: 0 past its end.
uint16_t SfntField16(std::string_view table, size_t at);
uint32_t SfntField32(std::string_view table, size_t at);
void SfntPut16(std::string& data, uint32_t value);
void SfntPut32(std::string& data, uint32_t value);
void SfntSet16(std::string& data, size_t at, uint32_t value);

// Where the directory of the font at index starts: 0 in a single font's
// file, read from the header of a collection. False when file holds no
// such font.
bool FindSfntDirectory(std::string_view file, int index, size_t& directory);

// The table with the four-letter tag, empty when it is missing or lies
// outside the file.
std::string_view FindSfntTable(std::string_view file, size_t directory, const char* tag);

// Every table of a single font's file; false when the directory or a table
// lies outside it.
bool ReadSfntTables(std::string_view font, std::vector<TSfntTable>& tables);

// A font file of version and tables, in the order of their tags, each
// padded to four bytes, with the checksums and the head table's whole-file
// adjustment filled in.
std::string WriteSfntTables(uint32_t version, std::vector<TSfntTable>& tables);

}  // namespace tolvane
