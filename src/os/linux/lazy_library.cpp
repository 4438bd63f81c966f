#include "os/linux/lazy_library.h"

#include <dlfcn.h>
#include <link.h>

#include <string>

#include "os/win32.h"

namespace tolvane {

bool LoadLazyLibrary(TLazyLibrary& library) {
  if (library.Handle) return true;
  if (library.Failed) return false;
  library.Handle = dlopen(library.FileName, RTLD_LAZY | RTLD_LOCAL);
  if (library.Handle) return true;
  library.Failed = true;
  const char* reason = dlerror();
  Diagnose(std::string("cannot load ") + library.FileName + " from the system's library path: " +
           (reason ? reason : "unknown reason"));
  return false;
}

std::string LazyLibraryFile(const TLazyLibrary& library) {
  link_map* map = nullptr;
  if (!library.Handle || dlinfo(library.Handle, RTLD_DI_LINKMAP, &map) != 0 || !map ||
      !map->l_name)
    return "";
  return map->l_name;
}

void* LazyFunction(TLazyLibrary& library, const char* name) {
  if (!LoadLazyLibrary(library)) return nullptr;
  void* function = dlsym(library.Handle, name);
  if (!function) Diagnose(std::string(library.FileName) + " has no function " + name);
  return function;
}

}  // namespace tolvane
