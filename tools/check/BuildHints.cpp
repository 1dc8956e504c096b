// Why a build step failed: the step's path and message, and the value it read, name the cause.
#include <string>

#include "plugin/engine/Printable.h"
#include "tools/check/Hints.h"

using nlohmann::json;

namespace {

// The value at path in doc, without adding anything; null when it is not there.
const json* ValueAt(const json& doc, const KeyPath& path) {
  const json* value = &doc;
  for (const KeyStep& step : path) {
    if (const auto* key = std::get_if<std::string>(&step)) {
      if (!value->is_object() || !value->contains(*key)) return nullptr;
      value = &(*value)[*key];
    } else {
      const std::size_t index = std::get<std::size_t>(step);
      if (!value->is_array() || index >= value->size()) return nullptr;
      value = &(*value)[index];
    }
  }
  return value;
}

// Text that reads whole as a number, as a number is written in JSON.
bool ReadsAsNumber(const std::string& text) {
  try {
    return json::parse(text).is_number();
  } catch (const json::exception&) {
    return false;
  }
}

std::string KeyAt(const KeyPath& path, std::size_t i) {
  const auto* key = i < path.size() ? std::get_if<std::string>(&path[i]) : nullptr;
  return key ? *key : "";
}

void Explain(Problem& problem, const char* code, std::string hint) {
  problem.code = code;
  problem.hint = std::move(hint);
}

void ExplainSetting(Problem& problem, const json* value) {
  using namespace ConfigKey;
  const std::string setting = KeyAt(problem.path, 2);
  if (value && value->is_string() && ReadsAsNumber(value->get<std::string>())) {
    return Explain(problem, "number-in-quotes",
                   "the number is in quotes, which makes it text: write " +
                       PrintableText(value->get<std::string>()) + " without them");
  }
  const std::string what = setting == CuddleIntervalTime
                               ? "the minutes between two cuddle requests, such as 8"
                               : "the fraction of full imprinting a cuddle adds, such as 0.1";
  const std::string missing = setting +
                              " is missing: every species needs both CuddleIntervalTime and "
                              "CuddleIncreasePercent; " +
                              setting + " is " + what;
  if (!value) return Explain(problem, "setting-missing", missing);
  if (value->is_null()) {
    // The module reads a missing member as null: the text tells which it was.
    Explain(problem, "setting-null", "null is not a number: " + setting + " is " + what);
    problem.code_when_absent = "setting-missing";
    problem.hint_when_absent = missing;
    return;
  }
  Explain(problem, "setting-not-number", setting + " is a number: " + what);
}

}  // namespace

void ExplainBuildFailure(Problem& problem, const std::exception& error, const json& doc) {
  using namespace ConfigKey;
  const auto* json_error = dynamic_cast<const json::exception*>(&error);
  const int id = json_error ? json_error->id : 0;
  const std::string message = error.what();
  const std::string section = KeyAt(problem.path, 0);
  const json* value = ValueAt(doc, problem.path);
  problem.code = "refused";
  if (problem.path.empty()) {
    if (id == 306)
      Explain(problem, "not-an-object",
              "the file must be one JSON object, {...}, holding \"General\"");
  } else if (section == General && problem.path.size() == 1) {
    Explain(
        problem, "general-not-object",
        "\"General\" must be an object, such as \"General\": {\"ReplaceCuddleTypeWalk\": true}");
    problem.code_when_absent = "general-missing";
    problem.hint_when_absent =
        "there is no \"General\": the module needs it, even empty: add \"General\": {}";
  } else if (section == General) {
    const bool quoted = value && value->is_string();
    Explain(problem, "walk-not-boolean",
            quoted ? "write true or false without quotes: in quotes it is text"
                   : "write true or false; a number is neither");
  } else if (section == Footlist) {
    if (message.find("is not of the form Type'Path'") != std::string::npos) {
      Explain(problem, "food-form",
              "a food is a type word, an apostrophe, its object path and an apostrophe, such as "
              "Blueprint'/Game/Foods/Berries.Berries'");
    } else if (problem.path.size() == 1) {
      Explain(problem, "food-not-text",
              "\"Footlist\" is a list of foods in [ ], each a text such as "
              "\"Blueprint'/Game/Foods/Berries.Berries'\"");
    } else if (id == 302) {
      Explain(
          problem, "food-not-text",
          "a food is a text in double quotes, such as \"Blueprint'/Game/Foods/Berries.Berries'\"");
    }
  } else if (section == Dinolist) {
    const json* list = ValueAt(doc, {Dinolist});
    if (list && !list->is_object() && !list->is_null()) {
      problem.path = {Dinolist};
      problem.want.reset();
      Explain(problem, "dinolist-not-object",
              "\"Dinolist\" must be an object of species by name, such as \"Dinolist\": "
              "{\"Mossback\": {\"CuddleIntervalTime\": 30, \"CuddleIncreasePercent\": 0.05}}");
    } else if (id == 305) {
      Explain(problem, "species-not-object",
              "a species is an object of its two settings, such as {\"CuddleIntervalTime\": 30, "
              "\"CuddleIncreasePercent\": 0.05}");
    } else if (id == 302 && problem.path.size() == 3) {
      ExplainSetting(problem, value);
    }
  }
}
