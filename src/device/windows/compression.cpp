// Compression with zlib, the library the Windows build links statically.
#include "device/pdf/compression.h"

#include <zlib.h>

namespace tolvane {

struct TCompressor {
  int Level;
};

TCompressor* MakeCompressor(TCompression level) {
  return new TCompressor{level == TCompression::Fastest ? Z_BEST_SPEED : Z_DEFAULT_COMPRESSION};
}

bool Compress(TCompressor* compressor, std::string_view data, std::string& packed) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  packed.resize(size);
  int result = compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                         reinterpret_cast<const Bytef*>(data.data()),
                         static_cast<uLong>(data.size()), compressor->Level);
  packed.resize(result == Z_OK ? size : 0);
  return result == Z_OK;
}

void FreeCompressor(TCompressor* compressor) { delete compressor; }

uint32_t Crc32(const void* data, size_t size) {
  return static_cast<uint32_t>(
      crc32(0, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
}

}  // namespace tolvane
