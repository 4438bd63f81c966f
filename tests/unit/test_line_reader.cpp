#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "stream/line_reader.h"

using namespace tolvane;

namespace {

// The lines joined from their pieces, each piece at most pieceLimit bytes
// (0: as the buffer gives them).
std::vector<std::string> ReadAllLines(const std::string& bytes, size_t pieceLimit = 0) {
  std::FILE* file = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::rewind(file);
  auto reader = std::make_unique<TLineReader>();
  OpenLineReader(*reader, file);
  if (pieceLimit != 0) reader->PieceLimit = pieceLimit;
  std::vector<std::string> lines;
  while (StartLine(*reader)) {
    std::string line;
    const char* piece;
    size_t length;
    while (ReadLinePiece(*reader, piece, length)) {
      EXPECT_GT(length, 0u);
      EXPECT_LE(length, reader->PieceLimit);
      line.append(piece, length);
    }
    lines.push_back(line);
  }
  std::fclose(file);
  return lines;
}

}  // namespace

TEST(LineReader, SplitsLinesByTheFilesRules) {
  using Lines = std::vector<std::string>;
  using namespace std::string_literals;
  struct Case {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"A", {"A"}},
      {"A\n", {"A"}},
      {"A\r\n", {"A"}},
      {"A\n\n", {"A", ""}},
      {"\r\n", {""}},
      {"A\rB\n", {"AB"}},
      {"A\r\r\nB", {"A", "B"}},
      {"A\r", {"A"}},
      {"\x1a" "ABC", {}},
      {"A\n\x1a" "B\nC", {"A"}},
      {"A\r\n\x1a", {"A"}},
      {"AB\x1a" "CD\nEF", {"AB"}},
      {"A\r\x1a" "B", {"A"}},
      {"\r\x1a", {}},
      {"A\n\r\r\x1a" "B\n", {"A"}},
      {"\x0c\n\r\x1a", {"\x0c"}},
      {"\r", {""}},
      {"\rA\n", {"A"}},
      {"\x0c\n\x1b", {"\x0c", "\x1b"}},
      {"A\0B\n"s, {"A\0B"s}},
  };
  for (size_t pieceLimit : {0, 1, 2, 3})
    for (const Case& c : cases) EXPECT_EQ(ReadAllLines(c.bytes, pieceLimit), c.lines);
}

TEST(LineReader, LinesOfMegabytesAcrossBufferBoundaries) {
  std::string longLine(3 * 1024 * 1024 + 7, 'x');
  longLine[65535] = '\r';  // a CR on the edge of a read is still dropped
  std::string bytes = longLine + "\r\n" + "y\n";
  std::vector<std::string> lines = ReadAllLines(bytes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), longLine.size() - 1);
  EXPECT_EQ(lines[1], "y");
}
