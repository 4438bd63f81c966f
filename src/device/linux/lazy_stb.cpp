// stb_image, opened when a logo is first decoded: most reports have none.
#include <stb_image.h>

#include "device/linux/lazy_graphics.h"

using tolvane::StbLibrary;

TOLVANE_LAZY_FUNCTION(StbLibrary, stbi_failure_reason, 0)
TOLVANE_LAZY_FUNCTION(StbLibrary, stbi_image_free, 1)
TOLVANE_LAZY_FUNCTION(StbLibrary, stbi_load_from_memory, 6)
