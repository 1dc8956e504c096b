// Loading and unloading the module through the operating system's loader.
#include <dlfcn.h>

#include <utility>

#include "sandbox/host/Runtime.h"

namespace {
void* module_handle = nullptr;
}

namespace Sandbox {

std::string LoadModule(const std::string& path) {
  if (module_handle) return "the module is loaded already";
  module_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module_handle) {
    const char* why = dlerror();
    return why ? why : "the module could not be loaded";
  }
  return std::string();
}

std::string UnloadModule() {
  if (!module_handle) return "the module is not loaded";
  void* handle = std::exchange(module_handle, nullptr);
  if (dlclose(handle) != 0) {
    const char* why = dlerror();
    return why ? why : "the module could not be unloaded";
  }
  return std::string();
}

bool ModuleLoaded() { return module_handle != nullptr; }

}  // namespace Sandbox
