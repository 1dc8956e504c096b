// The module's running configuration: the species table, the food list and the walk setting,
// their one writer (ReadConfig) and the readers the detours use. No JSON in here: the detours
// include this and nothing of the reading.
#pragma once

#include <cstdint>
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

// An index below n, from draw(), which gives 0 to draw_max alike (rand and RAND_MAX). Within the
// range of one draw it is draw() % n. A longer list takes as many draws as it needs, as the digits
// of one number; a number in the last, partial run of n would favour the first entries, so it is
// drawn again, which happens rarely. Some runtimes' RAND_MAX is 32,767, far below a long list.
// n is at most 2^32.
template <typename Draw>
std::uint64_t RandomIndex(std::uint64_t n, Draw draw, std::uint64_t draw_max) {
  const std::uint64_t base = draw_max + 1;
  if (n <= base) return static_cast<std::uint64_t>(draw()) % n;
  for (;;) {
    std::uint64_t value = 0, range = 1;
    while (range < n) {
      value = value * base + static_cast<std::uint64_t>(draw());
      range *= base;
    }
    if (value < range - range % n) return value % n;
  }
}
// True when walk requests stay as the game made them.
bool IsWalkCuddleKept();

// A configured interval in the seconds the module uses, multiplied in 32-bit arithmetic. Inline, so
// that the detours and nestkeep-check, which has no tables, compute it alike.
inline float IntervalSeconds(const SpeciesEntry& entry) { return entry.CuddleIntervalTime * 60.0f; }
