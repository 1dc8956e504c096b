// Where the operating system's loader enters the module.
#include "plugin/lifecycle/Lifecycle.h"

#if defined(_WIN32)
#include <windows.h>

BOOL APIENTRY DllMain(HMODULE, DWORD reason, LPVOID) { return ModuleEntry(reason) ? TRUE : FALSE; }

#else

namespace {
// The loader runs these when the module is mapped in and before it is unmapped.
__attribute__((constructor)) void OnAttach() { ModuleEntry(1); }
__attribute__((destructor)) void OnDetach() { ModuleEntry(0); }
}  // namespace

#endif
