// The verdict is always the module's own: the file is read, parsed and built by the module's own
// reading code. The module stops at the first failure; the check goes on past it, step by step and
// element by element with the same code, so that one run shows every problem it can.
#include "tools/check/Check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plugin/engine/Printable.h"
#include "plugin/lifecycle/LogLine.h"
#include "tools/check/Hints.h"
#include "tools/check/Keys.h"
#include "tools/check/Warnings.h"

using nlohmann::json;

namespace {

// Why a file would not open, in the system's words. Nothing here opens what is not a regular file:
// opening a pipe would wait for a writer.
std::string OpenFailure(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error) return error.message();
  if (std::filesystem::is_directory(status)) return "it is a directory";
  if (!std::filesystem::is_regular_file(status)) return "it is not a regular file";
  errno = 0;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    std::fclose(file);
    return "it could not be read";
  }
  return std::strerror(errno);
}

// The line the module logs for an error, as it may be shown.
std::string Logged(const std::exception& error) { return PrintableText(CutLogText(error.what())); }

struct Checking {
  std::string_view text;
  Problems problems;
  // The first failure of each step: going on past it, element by element, finds it again.
  std::vector<std::pair<KeyPath, std::string>> firsts;
  // What the steps that worked made of the document.
  SpeciesMap species;
  bool foods_built = false;

  // A failure at fault; first, when it is the first of a step, whose others are found after it;
  // of the module's own reading, when it is the one the module stops at.
  void Failure(const KeyPath& fault, const std::exception& error, const json& doc,
               bool first = false, bool stops_module = false) {
    std::pair<KeyPath, std::string> failure{fault, Logged(error)};
    if (std::find(firsts.begin(), firsts.end(), failure) != firsts.end()) return;
    if (first) firsts.push_back(failure);
    const std::string message = std::move(failure.second);
    Problem problem;
    problem.error = true;
    problem.stops_module = stops_module;
    problem.path = fault;
    problem.message = message;
    ExplainBuildFailure(problem, error, doc);
    problem.want = problems.search.WantValue(problem.path);
    problems.Keep(std::move(problem));
  }

  // Foods one at a time, each as a list of its own: their failures past the first, and warnings
  // about those that load.
  void FoodsOneByOne(const json& doc) {
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

  void Foods(json& doc) {
    ConfigNotes notes;
    std::vector<std::u16string> foods;
    try {
      foods = BuildFoodList(doc, &notes);
    } catch (const std::exception& error) {
      Failure(notes.fault.value_or(KeyPath{}), error, doc, true);
      if (doc.is_object()) FoodsOneByOne(doc);
      return;
    }
    foods_built = true;
    WarnAboutFoods(doc, foods);
  }

  // Food references that load, but hardly what was meant. The foods are in the order of
  // iterating "Footlist", the order BuildFoodList reads it in.
  void WarnAboutFoods(const json& doc, const std::vector<std::u16string>& foods) {
    const auto found = doc.find(ConfigKey::Footlist);
    if (found == doc.end()) return;
    const json& list = *found;
    auto food = foods.begin();
    for (auto it = list.begin(); it != list.end() && food != foods.end(); ++it, ++food)
      WarnAboutFood(ElementPath({ConfigKey::Footlist}, list, it), it->get<std::string>(), *food,
                    problems);
  }

  void Species(json& doc) {
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

  void Walk(json& doc) {
    ConfigNotes notes;
    try {
      BuildReplaceWalk(doc, &notes);
    } catch (const std::exception& error) {
      Failure(notes.fault.value_or(KeyPath{}), error, doc, true);
    }
  }

  // Every step on its own, in the module's order.
  void Steps(json& doc) {
    Foods(doc);
    if (!doc.is_object()) return;
    Species(doc);
    Walk(doc);
  }
};

// Whether path lies in or above the value at open, of which the text ends before all is read.
bool Within(const KeyPath& path, const KeyPath& open) {
  return path.size() <= open.size() && std::equal(path.begin(), path.end(), open.begin());
}

}  // namespace

int FileReport::Status() const {
  switch (verdict) {
    case Verdict::Loads:
      return 0;
    case Verdict::Refused:
      return 1;
    case Verdict::CannotOpen:
      break;
  }
  return 2;
}

FileReport CheckFile(const std::string& path, const CheckOptions& options) {
  FileReport report;
  report.file = path;
  // Declared before the text, so that the text is gone before the document is taken apart: that
  // takes memory of its own, as much as the document's largest array.
  json doc;
  std::string text;
  Checking check;
  try {
    text = ReadConfigFile(path);
  } catch (const std::exception& error) {
    if (error.what() == CantOpenConfig) {
      report.verdict = FileReport::Verdict::CannotOpen;
      report.cannot_open = OpenFailure(path);
      return report;
    }
    // Too large to be read: the document as a whole, and nothing of it checked.
    Problem* problem = check.problems.Add(true, "too-large");
    problem->stops_module = true;
    problem->shown_path = KeyPathText({});
    problem->message = Logged(error);
    report.errors = 1;
    report.problems = std::move(check.problems.kept);
    return report;
  }
  check.text = text;
  Problems& problems = check.problems;
  ConfigNotes notes;
  std::size_t end = text.size();  // what can be checked
  // After a parse failure, what of the text reads as a document, and the innermost value left
  // open at its end.
  std::optional<TextBefore> before;
  try {
    doc = ParseConfigText(text, &notes);
  } catch (const std::exception& error) {
    const bool too_deep = error.what() == ConfigTooDeep;
    const std::size_t read = notes.parse_stopped_after.value_or(0);
    const std::size_t stopped = too_deep   ? FindTooDeep(text, MaxConfigDepth).offset
                                : read > 0 ? read - 1
                                           : 0;
    ParseCause cause =
        too_deep ? ParseCause{stopped, "too-deep", ""} : ExplainParseFailure(text, stopped, error);
    const StopPlace at = FindStop(text, cause.offset);
    Problem problem;
    problem.error = true;
    problem.stops_module = true;
    problem.code = cause.code;
    problem.shown_path = KeyPathText(at.path);
    problem.place = at.place;
    problem.message = Logged(error);
    problem.hint = cause.hint;
    if (std::string trust = WhichPlaceToTrust(error.what(), at.place); !trust.empty())
      problem.hint += (problem.hint.empty() ? "" : "; ") + trust;
    problems.Keep(std::move(problem));
    // What comes before the failure is checked all the same, as the document it would be if the
    // text ended there.
    end = cause.offset;
    if (end > 0) report.read_up_to = at.place;
    before = WholeTextBefore(text, end);
    notes = {};
    doc = json();
    try {
      if (!before->text.empty()) doc = ParseConfigText(before->text, &notes);
    } catch (const std::exception&) {
      doc = json();
    }
  }
  WarnAboutUnknownKeys(text, end, problems);
  std::optional<ConfigContents> contents;
  if (!before) {
    WarnAboutRepeatedKeys(notes, problems);
    WarnAboutDocument(doc, problems);
    try {
      contents = BuildConfig(doc, &notes);
    } catch (const std::exception& error) {
      check.Failure(notes.fault.value_or(KeyPath{}), error, doc, true, true);
    }
  } else {
    WarnAboutRepeatedKeys(notes, problems);
  }
  if (contents) {
    check.WarnAboutFoods(doc, contents->foods);
  } else if (doc.is_object()) {
    check.Steps(doc);
  }
  std::vector<ImprintingForecast> forecasts;
  const SpeciesMap& species = contents ? contents->species : check.species;
  forecasts.reserve(species.size());
  for (const auto& [name, entry] : species) forecasts.push_back(ForecastImprinting(entry));
  WarnAboutSpecies(species, forecasts, options.maturation, problems);
  if (contents) {
    report.walk_given = doc.at(ConfigKey::General).contains(ConfigKey::ReplaceCuddleTypeWalk);
    WarnAboutWalk(*contents, report.walk_given, problems);
  }

  // Every place at once, in one walk of the text that was read.
  const std::vector<TextPlace> places =
      FindPlaces(before ? std::string_view(before->text) : std::string_view(text), problems.search);
  for (Problem& problem : problems.kept) {
    if (!problem.want) continue;
    problem.place = places[*problem.want];
    if (!problem.place.found && !problem.code_when_absent.empty()) {
      problem.code = problem.code_when_absent;
      problem.hint = problem.hint_when_absent;
    }
  }
  // After a parse failure, what the text leaves open may yet be whole past it: a member missing
  // there, or a value there, is not a problem of its own.
  if (before) {
    std::erase_if(problems.kept, [&](const Problem& problem) {
      if (problem.path.empty() || !problem.want) return false;
      KeyPath at = problem.path;
      if (!problem.place.found) at.pop_back();
      if (!Within(at, before->open)) return false;
      --(problem.error ? problems.errors : problems.warnings);
      --problems.counts[problem.code];
      return true;
    });
  }
  for (Problem& problem : problems.kept)
    if (problem.shown_path.empty()) problem.shown_path = KeyPathText(problem.path);
  // The module's own failure first, the rest in the order of the text.
  const auto rest =
      std::stable_partition(problems.kept.begin(), problems.kept.end(),
                            [](const Problem& problem) { return problem.stops_module; });
  std::stable_sort(rest, problems.kept.end(), [](const Problem& a, const Problem& b) {
    return a.place.line != b.place.line ? a.place.line < b.place.line
                                        : a.place.column < b.place.column;
  });
  for (const auto& [code, count] : problems.counts)
    if (count > Problems::MaxOfAKind) report.omitted[code] = count - Problems::MaxOfAKind;
  report.errors = problems.errors;
  report.warnings = problems.warnings;
  report.problems = std::move(problems.kept);
  report.verdict = contents ? FileReport::Verdict::Loads : FileReport::Verdict::Refused;
  if (contents) {
    report.contents = std::move(contents);
    report.forecasts = std::move(forecasts);
  }
  return report;
}
