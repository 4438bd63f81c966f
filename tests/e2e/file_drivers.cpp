#include "file_drivers.h"

#include <stb_image.h>

namespace file_drivers {

TPicture LoadPicture(const std::string& path) {
  TPicture picture;
  int channels = 0;
  stbi_uc* pixels = stbi_load(path.c_str(), &picture.Width, &picture.Height, &channels, 3);
  if (!pixels) return TPicture{};
  picture.Rgb.assign(pixels, pixels + size_t(picture.Width) * picture.Height * 3);
  stbi_image_free(pixels);
  return picture;
}

}  // namespace file_drivers
