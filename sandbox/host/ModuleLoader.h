// The operating system's loader, as the host runtime uses it. This is the part of loading the
// module that differs by platform; sandbox/host/Module.cpp holds the rest.
#pragma once

#include <string>

namespace Sandbox {

// Whether something other than a regular file stands at path, such as a folder, a pipe or a
// device: the loader is not asked to open it, since opening a pipe waits for a writer.
bool IsOtherThanFile(const std::string& path);
// Maps the module in and runs its attach; null with the loader's message in why on failure.
void* OpenModule(const std::string& path, std::string& why);
// Runs the module's detach and unmaps it; the loader's message on failure, else empty text.
std::string CloseModule(void* handle);
// Whether the file at path is mapped into this process, without loading it.
bool IsMapped(const std::string& path);
// Whether the mapped module at path exports a symbol of that name.
bool Exports(const std::string& path, const char* symbol);

}  // namespace Sandbox
