// Start-up and shutdown of the module, and the logger every part writes through.
#pragma once

#include <spdlog/logger.h>

#include <cstddef>
#include <memory>
#include <string_view>

// The module's logger "Nestkeep" over the host's shared sinks; null before the first PluginLoad.
std::shared_ptr<spdlog::logger>& PluginLogger();
// Makes PluginLogger anew over the sinks the host has now, in the module's pattern.
void CreatePluginLogger();

// Logs one error line: the text as it stands (never as a format pattern, as it may hold braces),
// with control bytes and bytes that are not UTF-8 escaped, cut to the bound of a log line. When
// the message is longer than what is shown of it, whole gives its length in bytes.
void LogError(std::string_view text, std::size_t whole = 0);

void PluginLoad();
void PluginUnload();

// What the operating system's loader delivers: 1 attach, 0 detach, 2 and 3 thread attach and
// detach. Always reports success.
bool ModuleEntry(unsigned long reason);
