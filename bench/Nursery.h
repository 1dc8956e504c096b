// A world for measuring the detours: a 200-species table, one baby, and the detours installed or
// not.
#pragma once

#include <fmt/format.h>

#include "plugin/config/Config.h"
#include "plugin/hooks/Hooks.h"
#include "plugin/lifecycle/Lifecycle.h"
#include "sandbox/game/Game.h"

namespace Bench {

enum Setup { Listed, Unlisted, Floor };

// Sets the world up and gives its baby: of a listed species (a 10-byte name tag), of an unlisted
// one, or of a listed one with the module not installed (the game's own functions alone).
inline APrimalDinoCharacter* Prepare(Setup setup, bool foods) {
  Sandbox::ResetHost();
  Game::ResetGame();
  GetLogSinks().clear();
  PluginLogger() = std::make_shared<spdlog::logger>("Nestkeep");
  SpeciesTable.clear();
  for (int i = 0; i < 200; ++i) SpeciesTable[fmt::format("Species{:03}", i)] = {30, 0.05f};
  FoodList.clear();
  if (foods) {
    FoodList = {u"/Game/Nursery/Foods/Berries.Berries_C"};
    Game::AddContent("/Game/Nursery/Foods/Berries.Berries_C");
  }
  KeepWalkCuddle = false;
  if (setup != Floor) InstallHooks();
  return Game::Spawn(setup == Unlisted ? "Wanderer" : "Species100", 0.25f, 86400, true);
}

}  // namespace Bench
