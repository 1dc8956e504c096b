// What the module accepts but is most likely a mistake, each at its place: values that cannot work
// or are likely a slip of unit, keys that no baby's name tag can match, foods that load nothing
// useful.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "plugin/hooks/Forecast.h"
#include "tools/check/Problems.h"

// The shortest text that reads back as the same float.
std::string Number(float value);
// Whether two keys differ at most in the letter case of ASCII letters.
bool SameLetters(std::string_view a, std::string_view b);

// Keys given more than once in one object, at the first repeat.
void WarnAboutRepeatedKeys(const ConfigNotes& notes, Problems& problems);
// Of the document as a whole: no species, a "Footlist" that is not an array.
void WarnAboutDocument(const nlohmann::json& doc, Problems& problems);

// Of each species key, in the module's order: blanks at its ends, control bytes, and keys that
// differ only in letter case.
void WarnAboutSpeciesKeys(const std::vector<const std::string*>& names, Problems& problems);
// Of each species that reads: its values and its forecast (one per species, in the same order),
// also against a maturation time in seconds when one is given.
void WarnAboutSpecies(const SpeciesMap& species, const std::vector<ImprintingForecast>& forecasts,
                      std::optional<double> maturation, Problems& problems);

// Of one food as written at path, and the path the module asks the engine to load for it.
void WarnAboutFood(const KeyPath& path, const std::string& written, const std::u16string& food,
                   Problems& problems);

// Of the walk setting: walk requests that become plain cuddles for want of foods.
void WarnAboutWalk(const ConfigContents& contents, bool given, Problems& problems);
