// The bytes of a face's file, mapped into memory read only.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "device/fonts/font_face.h"

namespace tolvane {

std::string_view MapFontFile(const std::string& path) {
  int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return {};
  struct stat info {};
  void* data = MAP_FAILED;
  if (fstat(descriptor, &info) == 0 && info.st_size > 0)
    data = mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
  close(descriptor);
  if (data == MAP_FAILED) return {};
  return std::string_view(static_cast<const char*>(data), size_t(info.st_size));
}

void UnmapFontFile(std::string_view file) {
  if (!file.empty()) munmap(const_cast<char*>(file.data()), file.size());
}

}  // namespace tolvane
