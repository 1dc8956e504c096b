// Loading and unloading the module through the operating system's loader, one module at a time.
#include <utility>

#include "plugin/engine/Unicode.h"
#include "sandbox/host/HostState.h"
#include "sandbox/host/ModuleLoader.h"

namespace {
void* module_handle = nullptr;
}

namespace Sandbox {

std::string LoadModule(const std::string& path) {
  if (module_handle) return "the module is loaded already";
  if (IsOtherThanFile(path)) return Unicode::ShownPath(path) + ": not a regular file, so no module";
  const std::uint64_t asked = HostEventCount();
  std::string why;
  void* handle = OpenModule(path, why);
  if (!handle) return why;
  // The module's entry sets up its hooks and commands as the loader enters it: a library that
  // asked the host for nothing has no such entry.
  if (HostEventCount() == asked) {
    CloseModule(handle);
    return Unicode::ShownPath(path) +
           ": not a Nestkeep module (loading it set up no hook and no command)";
  }
  module_handle = handle;
  return {};
}

std::string UnloadModule() {
  if (!module_handle) return "the module is not loaded";
  return CloseModule(std::exchange(module_handle, nullptr));
}

bool ModuleLoaded() { return module_handle != nullptr; }

bool ModuleMapped(const std::string& path) { return IsMapped(path); }

bool ModuleExports(const std::string& path, const char* symbol) { return Exports(path, symbol); }

}  // namespace Sandbox
