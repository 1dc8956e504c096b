// The running configuration: its tables, the readers the detours use, and ReadConfig, which
// replaces all three together.
#include "plugin/config/Config.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <utility>

#include "plugin/config/ConfigFile.h"
#include "plugin/host/Host.h"
#include "plugin/lifecycle/Lifecycle.h"

SpeciesMap SpeciesTable;
std::vector<std::u16string> FoodList;
bool KeepWalkCuddle = false;

bool FindSpecies(std::string name, std::pair<float, float>* out) {
  if (!out) return false;
  auto it = SpeciesTable.find(name);
  if (it == SpeciesTable.end()) return false;
  out->first = IntervalSeconds(it->second);
  out->second = it->second.CuddleIncreasePercent;
  return true;
}

bool PickRandomFood(std::u16string* out) {
  if (!out || FoodList.empty()) return false;
  *out = FoodList[RandomIndex(
      FoodList.size(), [] { return std::rand(); }, RAND_MAX)];
  return true;
}

bool IsWalkCuddleKept() { return KeepWalkCuddle; }

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
