// Reading config.json into the running configuration, at start-up and on each reload.
#include <exception>
#include <string_view>
#include <utility>

#include "plugin/config/Config.h"
#include "plugin/host/Host.h"
#include "plugin/lifecycle/Lifecycle.h"

bool ReadConfig() {
  try {
    nlohmann::json doc = ParseConfigFile(ConfigPath(ArkApi::Tools::GetCurrentDir()));
    ConfigContents next = BuildConfig(doc);
    // Only a file read to the end replaces anything, and then all three together: a reload that
    // fails keeps the server running on what it had. Neither move can throw.
    FoodList = std::move(next.foods);
    SpeciesTable.swap(next.species);
    KeepWalkCuddle = !next.replace_walk;
    return true;
  } catch (const std::exception& error) {
    LogError(error.what());
    return false;
  }
}
