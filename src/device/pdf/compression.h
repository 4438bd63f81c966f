// The compression of a document's streams in the zlib format, as the
// FlateDecode filters of PDF and PostScript read it, and the checksum that
// tells a document's bitmaps apart. The platform fills these in with the
// library it has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane {

struct TCompressor;  // the platform's

// How hard a compressor works: at the library's fastest level, or at its
// middle level, where a PDF page of glyph codes comes out about a
// twentieth smaller for about twice the time spent compressing.
enum class TCompression { Fastest, Smaller };

// A compressor; null when none can be made.
TCompressor* MakeCompressor(TCompression level);
// data compressed into packed; false when it could not be.
bool Compress(TCompressor* compressor, std::string_view data, std::string& packed);
void FreeCompressor(TCompressor* compressor);

// The CRC-32 of size bytes at data.
uint32_t Crc32(const void* data, size_t size);

}  // namespace tolvane
