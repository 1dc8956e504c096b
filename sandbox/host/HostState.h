// Shared between the host runtime's own files; not part of what the runtime offers.
#pragma once

#include <spdlog/logger.h>

#include <memory>
#include <string_view>

#include "sandbox/host/Runtime.h"

namespace Sandbox {

// The host's own logger "ArkApi", over the shared sinks.
spdlog::logger& HostLogger();
void RecordHostEvent(std::string_view what, std::string_view name);
// How many requests the host has recorded since the process started; clearing the record keeps it.
std::uint64_t HostEventCount();
void ResetHooks();
void ResetCommands();

}  // namespace Sandbox
