#include "file_drivers.h"

#include <stdlib.h>
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

TOnlyRegularFace::TOnlyRegularFace(const std::string& directory) {
  Saved = getenv("FONTCONFIG_FILE") ? getenv("FONTCONFIG_FILE") : "";
  std::string regular = Capture("fc-match -f '%{file}' 'Liberation Mono:regular'");
  if (regular.empty()) return;
  std::filesystem::create_directories(directory + "/fonts");
  std::filesystem::copy_file(regular, directory + "/fonts/mono.ttf",
                             std::filesystem::copy_options::overwrite_existing);
  std::ofstream(directory + "/fonts.conf")
      << "<?xml version=\"1.0\"?>\n<fontconfig><dir>" << directory << "/fonts</dir><cachedir>"
      << directory << "/cache</cachedir></fontconfig>\n";
  setenv("FONTCONFIG_FILE", (directory + "/fonts.conf").c_str(), 1);
  Made = true;
}

TOnlyRegularFace::~TOnlyRegularFace() {
  if (Saved.empty())
    unsetenv("FONTCONFIG_FILE");
  else
    setenv("FONTCONFIG_FILE", Saved.c_str(), 1);
}

}  // namespace file_drivers
