// The module's running configuration: the species table, the food list and the walk setting,
// their one writer (ReadConfig) and the readers the detours use. No JSON in here: the detours
// include this and nothing of the reading.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct SpeciesEntry {
  float CuddleIntervalTime;     // minutes between two cuddle requests
  float CuddleIncreasePercent;  // imprinting added per cuddle; 1.0 is full imprinting
};

// Ordered by the bytes of the name tag, as unsigned values.
using SpeciesMap = std::map<std::string, SpeciesEntry, std::less<>>;

// The running configuration. ReadConfig alone writes it; the detours read it.
extern SpeciesMap SpeciesTable;
extern std::vector<std::u16string> FoodList;
extern bool KeepWalkCuddle;  // set when walk requests stay as the game made them

// Reads config.json under the server's working directory. On success replaces the three tables
// together and returns true; on any failure logs one error line and leaves them as they were.
bool ReadConfig();

// The interval in seconds and the increase of a listed species; false (out untouched) otherwise.
bool FindSpecies(std::string name, std::pair<float, float>* out);
// Copies a food path drawn with rand(); false (out untouched) when the list is empty.
bool PickRandomFood(std::u16string* out);
// True when walk requests stay as the game made them.
bool IsWalkCuddleKept();

// A configured interval in the seconds the module uses, multiplied in 32-bit arithmetic. Inline, so
// that the detours and nestkeep-check, which has no tables, compute it alike.
inline float IntervalSeconds(const SpeciesEntry& entry) { return entry.CuddleIntervalTime * 60.0f; }
