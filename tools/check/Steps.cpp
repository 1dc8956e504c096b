#include "tools/check/Steps.h"

#include <algorithm>

#include "plugin/engine/Printable.h"
#include "plugin/lifecycle/LogLine.h"
#include "tools/check/Hints.h"
#include "tools/check/Warnings.h"

using nlohmann::json;

std::string Logged(const std::exception& error) { return PrintableText(CutLogText(error.what())); }

void Checking::Failure(const KeyPath& fault, const std::exception& error, const json& doc,
                       bool first, bool stops_module) {
  std::pair<KeyPath, std::string> failure{fault, Logged(error)};
  if (std::find(firsts.begin(), firsts.end(), failure) != firsts.end()) return;
  if (first) firsts.push_back(failure);
  Problem problem;
  problem.error = true;
  problem.stops_module = stops_module;
  problem.path = fault;
  problem.message = std::move(failure.second);
  ExplainBuildFailure(problem, error, doc);
  problem.want = problems.search.WantValue(problem.path);
  problems.Keep(std::move(problem));
}

void Checking::Steps(json& doc) {
  Foods(doc);
  if (!doc.is_object()) return;
  Species(doc);
  Walk(doc);
}

void Checking::WarnAboutFoods(const json& doc, const std::vector<std::u16string>& foods) {
  const auto found = doc.find(ConfigKey::Footlist);
  if (found == doc.end()) return;
  const json& list = *found;
  auto food = foods.begin();
  for (auto it = list.begin(); it != list.end() && food != foods.end(); ++it, ++food)
    WarnAboutFood(ElementPath({ConfigKey::Footlist}, list, it), it->get<std::string>(), *food,
                  problems);
}

void Checking::Foods(json& doc) {
  ConfigNotes notes;
  std::vector<std::u16string> foods;
  try {
    foods = BuildFoodList(doc, &notes);
  } catch (const std::exception& error) {
    Failure(notes.fault.value_or(KeyPath{}), error, doc, true);
    if (doc.is_object()) FoodsOneByOne(doc);
    return;
  }
  WarnAboutFoods(doc, foods);
}

// Foods one at a time, each as a list of its own: their failures past the first, and warnings
// about those that load.
void Checking::FoodsOneByOne(const json& doc) {
  const auto found = doc.find(ConfigKey::Footlist);
  if (found == doc.end() || !(found->is_array() || found->is_object())) return;
  const json& list = *found;
  for (auto it = list.begin(); it != list.end(); ++it) {
    const KeyPath path = ElementPath({ConfigKey::Footlist}, list, it);
    json single = {{ConfigKey::Footlist, json::array({*it})}};
    try {
      const auto food = BuildFoodList(single);
      WarnAboutFood(path, it->get<std::string>(), food.front(), problems);
    } catch (const std::exception& error) {
      Failure(path, error, doc);
    }
  }
}

void Checking::Species(json& doc) {
  ConfigNotes notes;
  try {
    species = BuildSpeciesTable(doc, &notes);
    return;
  } catch (const std::exception& error) {
    Failure(notes.fault.value_or(KeyPath{}), error, doc, true);
  }
  // Each species as a list of its own: the failures of the others, and the settings of those
  // that read.
  const auto found = doc.find(ConfigKey::Dinolist);
  if (found == doc.end() || !found->is_object()) return;
  for (const auto& [name, value] : found->items()) {
    json single = {{ConfigKey::Dinolist, {{name, value}}}};
    ConfigNotes one;
    try {
      species.merge(BuildSpeciesTable(single, &one));
    } catch (const std::exception& error) {
      Failure(one.fault.value_or(KeyPath{}), error, doc);
    }
  }
}

void Checking::Walk(json& doc) {
  ConfigNotes notes;
  try {
    BuildReplaceWalk(doc, &notes);
  } catch (const std::exception& error) {
    Failure(notes.fault.value_or(KeyPath{}), error, doc, true);
  }
}
