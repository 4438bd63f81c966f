// libdeflate, opened when a PDF document first compresses a stream.
#include <libdeflate.h>

#include "device/linux/lazy_graphics.h"

using tolvane::DeflateLibrary;

TOLVANE_LAZY_FUNCTION(DeflateLibrary, libdeflate_alloc_compressor, 1)
TOLVANE_LAZY_FUNCTION(DeflateLibrary, libdeflate_crc32, 3)
TOLVANE_LAZY_FUNCTION(DeflateLibrary, libdeflate_free_compressor, 1)
TOLVANE_LAZY_FUNCTION(DeflateLibrary, libdeflate_zlib_compress, 5)
TOLVANE_LAZY_FUNCTION(DeflateLibrary, libdeflate_zlib_compress_bound, 2)
