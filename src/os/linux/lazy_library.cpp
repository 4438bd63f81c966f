#include "os/linux/lazy_library.h"

#include <dlfcn.h>

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

void* LazyFunction(TLazyLibrary& library, const char* name) {
  if (!LoadLazyLibrary(library)) return nullptr;
  void* function = dlsym(library.Handle, name);
  if (!function) Diagnose(std::string(library.FileName) + " has no function " + name);
  return function;
}

}  // namespace tolvane
