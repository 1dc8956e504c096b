// The sandbox as a process of its platform: where it was started from, its descriptor limit, and
// the requests to shut down that the platform delivers. The part that differs by platform.
#pragma once

#include <filesystem>
#include <functional>

namespace Platform {

// The folder the running program's file is in.
std::filesystem::path ProgramFolder();

// Each RCON connection holds a descriptor, and the module must still open its config while they
// are open; a soft limit is often far below what the system would give. Raises it to the hard
// limit where there is one.
void RaiseDescriptorLimit();

// From now on, SIGINT and SIGTERM (on Windows: Ctrl-C, Ctrl-Break, the console closing) call
// request with the signal's name instead of ending the process. The call comes on a thread of its
// own, so request only hands work over. Call before any other thread is started.
void OnShutdownRequest(std::function<void(const char* signal)> request);

}  // namespace Platform
