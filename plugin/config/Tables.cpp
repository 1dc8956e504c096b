// The running configuration and its readers.
#include <cstdint>
#include <cstdlib>

#include "plugin/config/Config.h"

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
  const auto index = static_cast<std::uint64_t>(std::rand()) % FoodList.size();
  *out = FoodList[index];
  return true;
}

bool IsWalkCuddleKept() { return KeepWalkCuddle; }
