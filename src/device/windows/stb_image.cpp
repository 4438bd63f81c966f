// stb_image's code, from Debian's libstb-dev header: Windows has no shared
// library of it, so its functions are built into the program here, only
// the BMP reader the logos need.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#include <stb_image.h>
