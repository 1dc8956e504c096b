// Loading and unloading the module through the operating system's loader, one module at a time.
#include <utility>

#include "sandbox/host/ModuleLoader.h"
#include "sandbox/host/Runtime.h"

namespace {
void* module_handle = nullptr;
}

namespace Sandbox {

std::string LoadModule(const std::string& path) {
  if (module_handle) return "the module is loaded already";
  std::string why;
  module_handle = OpenModule(path, why);
  return why;
}

std::string UnloadModule() {
  if (!module_handle) return "the module is not loaded";
  return CloseModule(std::exchange(module_handle, nullptr));
}

bool ModuleLoaded() { return module_handle != nullptr; }

bool ModuleMapped(const std::string& path) { return IsMapped(path); }

bool ModuleExports(const std::string& path, const char* symbol) { return Exports(path, symbol); }

}  // namespace Sandbox
