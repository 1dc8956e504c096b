// Reading a document step by step as the module does, and going on past the first failure: each
// step on its own, and after a step's first failure each food and each species on its own, with the
// module's own reading code, so that one run finds every failure the module would meet next.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "tools/check/Problems.h"

// The line the module logs for an error, as it may be shown.
std::string Logged(const std::exception& error);

struct Checking {
  Problems problems;
  // The first failure of each step: going on past it, element by element, finds it again.
  std::vector<std::pair<KeyPath, std::string>> firsts;
  // What the steps that worked made of the document.
  SpeciesMap species;

  // A failure at fault; first, when it is the first of a step, whose others are found after it;
  // stops_module, when it is the one the module stops at.
  void Failure(const KeyPath& fault, const std::exception& error, const nlohmann::json& doc,
               bool first = false, bool stops_module = false);
  // Every step on its own, in the module's order.
  void Steps(nlohmann::json& doc);
  // Food references that load, but hardly what was meant. The foods are in the order of
  // iterating "Footlist", the order BuildFoodList reads it in.
  void WarnAboutFoods(const nlohmann::json& doc, const std::vector<std::u16string>& foods);

 private:
  void Foods(nlohmann::json& doc);
  void FoodsOneByOne(const nlohmann::json& doc);
  void Species(nlohmann::json& doc);
  void Walk(nlohmann::json& doc);
};
