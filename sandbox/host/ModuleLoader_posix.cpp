#include <dlfcn.h>
#include <sys/stat.h>

#include "sandbox/host/ModuleLoader.h"

namespace Sandbox {

bool IsOtherThanFile(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

void* OpenModule(const std::string& path, std::string& why) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    why = error ? error : path + ": the module could not be loaded";
  }
  return handle;
}

std::string CloseModule(void* handle) {
  if (dlclose(handle) == 0) return std::string();
  const char* error = dlerror();
  return error ? error : "the module could not be unloaded";
}

bool IsMapped(const std::string& path) { return Exports(path, nullptr); }

bool Exports(const std::string& path, const char* symbol) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  const bool found = !symbol || dlsym(handle, symbol);
  dlclose(handle);
  return found;
}

}  // namespace Sandbox
