// The nursery demonstration: babies raised with the module and by the game alone, side by side.
#pragma once

#include <optional>
#include <string>

namespace Demo {

// Runs it in dir, or in a fresh temporary folder holding the example config.json. Gives the exit
// status.
int Run(const std::optional<std::string>& dir);

}  // namespace Demo
