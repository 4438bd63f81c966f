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

// A compressor at the library's fastest level: a page of glyph codes and
// small adjustments compresses about as well there as at the middle level,
// in a third of the time. Null when none can be made.
TCompressor* MakeCompressor();
// data compressed into packed; false when it could not be.
bool Compress(TCompressor* compressor, std::string_view data, std::string& packed);
void FreeCompressor(TCompressor* compressor);

// The CRC-32 of size bytes at data.
uint32_t Crc32(const void* data, size_t size);

}  // namespace tolvane
