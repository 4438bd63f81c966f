// PNG sheets carry their resolution, so that other programs print them at
// their real size rather than at 72 or 96 dpi.
#include <zlib.h>

#include <cstdint>
#include <string>

#include "host.h"

namespace {

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3]));
}

struct TChunk {
  std::string Type;
  std::string Data;
  bool CrcRight;
};

std::vector<TChunk> Chunks(const std::string& png) {
  std::vector<TChunk> chunks;
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t length = BigEndian32(png, at);
    if (at + 12 + length > png.size()) break;
    std::string typeAndData = png.substr(at + 4, 4 + length);
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(typeAndData.data()), typeAndData.size()));
    chunks.push_back({typeAndData.substr(0, 4), typeAndData.substr(4),
                      crc == BigEndian32(png, at + 8 + length)});
    at += 12 + length;
  }
  return chunks;
}

class PngResolution : public HostTest {};

TEST_F(PngResolution, EverySheetSaysItsPixelsPerMetre) {
  WriteFile("report.txt", "A\fB");
  struct Case {
    const char* resolution;
    uint32_t x, y;  // pixels per metre
  } cases[] = {
      {"100", 3937, 3937},
      {"600", 23622, 23622},
      {"300x150", 11811, 5906},
      {"1", 39, 39},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resolution);
    WriteSystemProfile(std::string("[windows]\ndevice=P,PNG,s.png\n[P]\npaper=50x40\nresolution=") +
                       c.resolution + "\n");
    ASSERT_EQ(Run({"report.txt", "1"}).ExitCode, 0);
    for (const char* sheet : {"s-1.png", "s-2.png"}) {
      std::vector<TChunk> chunks = Chunks(ReadFile(sheet));
      ASSERT_GE(chunks.size(), 3u) << sheet;
      EXPECT_EQ(chunks[0].Type, "IHDR");  // the header stays first
      EXPECT_EQ(chunks[1].Type, "pHYs");
      EXPECT_EQ(chunks.back().Type, "IEND");
      for (const TChunk& chunk : chunks) EXPECT_TRUE(chunk.CrcRight) << chunk.Type;
      ASSERT_EQ(chunks[1].Data.size(), 9u);
      EXPECT_EQ(BigEndian32(chunks[1].Data, 0), c.x);
      EXPECT_EQ(BigEndian32(chunks[1].Data, 4), c.y);
      EXPECT_EQ(chunks[1].Data[8], 1);  // the unit is the metre
    }
  }
}

}  // namespace
