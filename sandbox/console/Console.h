// The sandbox's console: one command a line, typed by the local player, with its printed lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/game/Game.h"

namespace Console {

// Where `load` finds the module.
void SetModulePath(std::string path);
const std::string& ModulePath();

// Runs one line and appends what it prints. Returns false when the line is `quit`.
bool RunLine(std::string_view line, std::vector<std::string>& out);
// Whether a `quit` came over RCON.
bool QuitRequested();

// Handles a line as a request that arrived over RCON with the given id: a command the module
// registered for RCON answers through its handler, any other line runs as a console command
// and its printed lines come back, joined by line feeds, as one response value.
std::vector<RconReply> RunRcon(std::int32_t id, std::string_view line);

}  // namespace Console
