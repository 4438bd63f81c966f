// Compression with libdeflate, opened when a document starts
// (LoadPdfLibraries).
#include "device/pdf/compression.h"

#include <libdeflate.h>

namespace tolvane {

struct TCompressor {
  libdeflate_compressor* Deflate;
};

TCompressor* MakeCompressor(TCompression level) {
  // libdeflate's fastest level and its default.
  libdeflate_compressor* deflate =
      libdeflate_alloc_compressor(level == TCompression::Fastest ? 1 : 6);
  return deflate ? new TCompressor{deflate} : nullptr;
}

bool Compress(TCompressor* compressor, std::string_view data, std::string& packed) {
  size_t bound = libdeflate_zlib_compress_bound(compressor->Deflate, data.size());
  packed.resize(bound);
  size_t size = libdeflate_zlib_compress(compressor->Deflate, data.data(), data.size(),
                                         packed.data(), bound);
  packed.resize(size);
  return size > 0;
}

void FreeCompressor(TCompressor* compressor) {
  libdeflate_free_compressor(compressor->Deflate);
  delete compressor;
}

uint32_t Crc32(const void* data, size_t size) {
  return static_cast<uint32_t>(libdeflate_crc32(0, data, size));
}

}  // namespace tolvane
