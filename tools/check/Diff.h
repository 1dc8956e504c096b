// What a reload would change: the configuration the server runs on against the one a reload
// would read, as the module reads both.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugin/config/ConfigFile.h"

// What walk requests of listed species become.
enum class WalkEffect { Food, PlainCuddle, Kept };
WalkEffect WalkEffectOf(const ConfigContents& contents);

struct ConfigDiff {
  struct Species {
    std::string name;
    SpeciesEntry before, after;
  };
  struct Food {
    std::string path;   // as the engine is asked to load it
    std::size_t count;  // how many more, or fewer, entries of it
    std::size_t of;     // entries of it in the list that has more
  };
  std::vector<Species> added, removed, changed;
  std::vector<Food> foods_added, foods_removed;
  std::optional<std::pair<WalkEffect, WalkEffect>> walk;

  bool Empty() const;
};

// A food listed twice is drawn twice as often, so foods count as many times as they are listed;
// their order does not matter.
ConfigDiff DiffConfigs(const ConfigContents& running, const ConfigContents& next);
