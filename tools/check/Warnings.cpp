#include "tools/check/Warnings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <utility>

#include "plugin/engine/Printable.h"
#include "plugin/engine/Unicode.h"

using nlohmann::json;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasControlByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

void Warn(Problems& problems, const char* code, const KeyPath& path, const std::string& text,
          bool key = false) {
  if (Problem* problem = problems.AddAt(false, code, path, key)) problem->message = text;
}

void WarnAboutKey(const std::string& name, Problems& problems) {
  const KeyPath path{ConfigKey::Dinolist, name};
  // One warning a key: a tab at an end is a blank, whatever else it is.
  if (!name.empty() && (IsBlank(name.front()) || IsBlank(name.back()))) {
    std::string_view trimmed = name;
    while (!trimmed.empty() && IsBlank(trimmed.front())) trimmed.remove_prefix(1);
    while (!trimmed.empty() && IsBlank(trimmed.back())) trimmed.remove_suffix(1);
    Warn(problems, "species-blank", path,
         "species key has a blank at its start or end; keys are matched byte for byte, so a baby "
         "named " +
             QuotedText(trimmed) + " is left to the game",
         true);
  } else if (HasControlByte(name)) {
    Warn(problems, "species-control", path,
         "species key holds a control byte, which no name tag holds: no baby matches it; "
         "remove it",
         true);
  }
}

// Keys that differ only in letter case: each but the first in the module's order. They are
// found by a hash of their lower-case letters, so that a million species cost 16 bytes each.
void WarnAboutLetterCase(const std::vector<const std::string*>& names, Problems& problems) {
  std::vector<std::pair<std::uint64_t, const std::string*>> hashes;
  hashes.reserve(names.size());
  for (const std::string* name_of : names) {
    const std::string& name = *name_of;
    std::uint64_t hash = 14695981039346656037u;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(Lower(c))) * 1099511628211u;
    hashes.emplace_back(hash, name_of);
  }
  std::sort(hashes.begin(), hashes.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : *a.second < *b.second;
  });
  for (std::size_t group = 0; group < hashes.size();) {
    std::size_t end = group;
    while (end < hashes.size() && hashes[end].first == hashes[group].first) ++end;
    for (std::size_t i = group + 1; i < end; ++i) {
      for (std::size_t first = group; first < i; ++first) {
        if (!SameLetters(*hashes[i].second, *hashes[first].second)) continue;
        Warn(problems, "species-case", {ConfigKey::Dinolist, *hashes[i].second},
             "species key differs from " + QuotedText(*hashes[first].second) +
                 " only in letter case; keys are matched exactly, so a baby matches one of "
                 "them at most: keep the one spelt as the game's name tag",
             true);
        break;
      }
    }
    group = end;
  }
}

void WarnAboutValues(const std::string& name, const SpeciesEntry& entry,
                     const ImprintingForecast& forecast, std::optional<double> maturation,
                     Problems& problems) {
  using namespace ConfigKey;
  const float interval = entry.CuddleIntervalTime, increase = entry.CuddleIncreasePercent;
  const KeyPath at_interval{Dinolist, name, CuddleIntervalTime};
  const KeyPath at_increase{Dinolist, name, CuddleIncreasePercent};
  if (!(interval > 0)) {
    Warn(problems, "interval-at-once", at_interval,
         "CuddleIntervalTime is " + Number(interval) +
             "; at 0 minutes or below, the next cuddle request is due at once");
  } else if (std::isinf(IntervalSeconds(entry))) {
    Warn(problems, "interval-infinite", at_interval,
         (std::isinf(interval)
              ? std::string("CuddleIntervalTime is more than a 32-bit number holds")
              : "CuddleIntervalTime is " + Number(interval) +
                    " minutes, more than the module's 32-bit seconds hold once multiplied by 60") +
             ": the next cuddle request is never due; write the minutes between two cuddle "
             "requests, such as 30");
  } else if (interval > 1440) {
    Warn(problems, "interval-minutes", at_interval,
         "CuddleIntervalTime is " + Number(interval) + " minutes (" +
             DurationText(IntervalSeconds(entry)) +
             "), more than a day; the setting is in "
             "minutes, not seconds: " +
             Number(interval) + " seconds would be " +
             Number(std::round(interval / 60 * 100) / 100) + " minutes");
  }
  if (!(increase > 0)) {
    Warn(problems, "increase-none", at_increase,
         "CuddleIncreasePercent is " + Number(increase) +
             "; at 0 or below, a cuddle adds no imprinting");
  } else if (increase > 1) {
    Warn(problems, "increase-above-one", at_increase,
         "CuddleIncreasePercent is " + Number(increase) +
             ", above 1; it is a fraction of full imprinting (0.25 is a quarter; 25 is not 25%), "
             "so a single cuddle completes imprinting");
  }
  if (forecast.outcome == ImprintingForecast::Outcome::Stalls) {
    Warn(problems, "never-full", at_increase,
         "imprinting never completes: after " + std::to_string(forecast.cuddles) +
             " cuddles the quality stops at " + Number(forecast.stalls_at * 100) + "%, where +" +
             Number(increase) +
             " is too small to change the module's 32-bit number any more: write a larger "
             "CuddleIncreasePercent, such as 0.01");
  }
  if (maturation && forecast.outcome == ImprintingForecast::Outcome::Full &&
      !ReachesFullWithin(forecast, *maturation)) {
    Warn(problems, "grows-up-first", {Dinolist, name},
         "a baby grows up in " + DurationText(*maturation) +
             ", before full imprinting, which takes " + std::to_string(forecast.cuddles) +
             " cuddles, " + DurationText(forecast.seconds));
  }
}

// A setting written true or false: the module reads it as the number 1 or 0, which is hardly what
// was meant.
void WarnAboutTruthSettings(const json& dinolist, Problems& problems) {
  using namespace ConfigKey;
  for (const auto& [name, entry] : dinolist.items()) {
    if (!entry.is_object()) continue;
    for (const char* setting : {CuddleIntervalTime, CuddleIncreasePercent}) {
      const auto value = entry.find(setting);
      if (value == entry.end() || !value->is_boolean()) continue;
      const bool truth = value->get<bool>();
      Warn(problems, "setting-truth", {Dinolist, name, setting},
           std::string(setting) + " is " + (truth ? "true" : "false") +
               ", which the module reads as " + (truth ? "1" : "0") + ": write a number, " +
               (setting == std::string_view(CuddleIntervalTime)
                    ? "the minutes between two cuddle requests, such as 8"
                    : "the fraction of full imprinting a cuddle adds, such as 0.1"));
    }
  }
}

}  // namespace

std::string Number(float value) {
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

void WarnAboutRepeatedKeys(const ConfigNotes& notes, Problems& problems) {
  for (const auto& repeated : notes.repeated_keys) {
    if (Problem* problem = problems.Add(false, "repeated-key")) {
      problem->shown_path = repeated.path;
      problem->want = problems.search.WantMember(repeated.container, repeated.member);
      problem->message = "key given " + std::to_string(repeated.times) +
                         " times; the first counts and the others are ignored";
    }
  }
}

void WarnAboutDocument(const json& doc, Problems& problems) {
  using namespace ConfigKey;
  if (!doc.is_object()) return;
  if (auto foods = doc.find(Footlist); foods != doc.end()) {
    if (foods->is_string())
      Warn(problems, "foods-lone-string", {Footlist},
           "\"Footlist\" is a lone string, not an array; the module reads it as a list of one "
           "food");
    if (foods->is_object())
      Warn(problems, "foods-object", {Footlist},
           "\"Footlist\" is an object, not an array; the module reads its values as foods, in "
           "the order of their keys");
  }
  auto species = doc.find(Dinolist);
  if (species != doc.end() && species->is_object()) WarnAboutTruthSettings(*species, problems);
  if (species == doc.end()) {
    Warn(problems, "no-species", {Dinolist},
         "there is no \"Dinolist\": no species are configured, so the module changes nothing");
  } else if (species->is_null() ||
             ((species->is_object() || species->is_array()) && species->empty())) {
    Warn(problems, "no-species", {Dinolist},
         "\"Dinolist\" is empty: no species are configured, so the module changes nothing");
  }
}

void WarnAboutSpecies(const SpeciesMap& species, const std::vector<ImprintingForecast>& forecasts,
                      std::optional<double> maturation, Problems& problems) {
  auto forecast = forecasts.begin();
  for (const auto& [name, entry] : species)
    WarnAboutValues(name, entry, *forecast++, maturation, problems);
}

void WarnAboutSpeciesKeys(const std::vector<const std::string*>& names, Problems& problems) {
  for (const std::string* name : names) WarnAboutKey(*name, problems);
  WarnAboutLetterCase(names, problems);
}

void WarnAboutFood(const KeyPath& path, const std::string& written, const std::u16string& food,
                   Problems& problems) {
  const std::string reference = QuotedText(written);
  auto loaded = [&] { return PrintableText(Unicode::Utf16ToUtf8(food)); };
  if (food == u"_C") {
    Warn(problems, "food-empty-path", path,
         "food " + reference +
             " has an empty path: the engine is asked to load \"_C\", which is no food");
  }
  if (std::count(written.begin(), written.end(), '\'') == 1) {
    Warn(problems, "food-unclosed", path,
         "food " + reference +
             " has no closing apostrophe; the module takes the rest as the path and asks the "
             "engine to load " +
             loaded());
  }
  if (food.ends_with(u"_C_C")) {
    Warn(problems, "food-ends-in-c", path,
         "food " + reference +
             " already ends in _C, and the module appends another: the engine is asked to load " +
             loaded());
  }
  if (food.find(u'\\') != std::u16string::npos) {
    Warn(problems, "food-backslash", path,
         "food " + reference +
             " has a backslash in its path; object paths are written with \"/\", and the engine "
             "is asked to load " +
             loaded());
  }
  const std::u16string_view object = std::u16string_view(food).substr(0, food.size() - 2);
  const std::u16string_view last = object.substr(object.rfind(u'/') + 1);
  if (!object.empty() && (last.find(u'.') == std::u16string_view::npos || last.ends_with(u'.'))) {
    Warn(problems, "food-no-name", path,
         "food " + reference +
             " has no .Name after the last \"/\" of its path: the engine is asked to load " +
             loaded() +
             ", but an object path ends in Package.Name, such as "
             "/Game/Foods/Berries.Berries");
  }
  if (HasControlByte(written)) {
    Warn(problems, "food-control", path,
         "food " + reference + " holds a control byte, which no object path holds");
  }
}

void WarnAboutWalk(const ConfigContents& contents, bool given, Problems& problems) {
  using namespace ConfigKey;
  if (!contents.replace_walk || !contents.foods.empty() || contents.species.empty()) return;
  Warn(problems, "walk-no-foods",
       given ? KeyPath{General, ReplaceCuddleTypeWalk} : KeyPath{General},
       "walk requests of listed species become plain cuddles, not food requests: "
       "ReplaceCuddleTypeWalk is " +
           std::string(given ? "true" : "true by default, as it is not given") +
           ", but there are no foods: add a \"Footlist\" or set it to false");
}
