// The verdict is always the module's own: the file is read, parsed and built by the module's own
// reading code. The module stops at the first failure; the check goes on past it, step by step and
// element by element with the same code, so that one run shows every problem it can.
#include "tools/check/Check.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "plugin/engine/Printable.h"
#include "plugin/engine/Unicode.h"
#include "tools/check/Hints.h"
#include "tools/check/Keys.h"
#include "tools/check/Steps.h"
#include "tools/check/Warnings.h"

using nlohmann::json;

namespace {

// Why a file would not open, in the system's words. Nothing here opens what is not a regular file:
// opening a pipe would wait for a writer.
std::string OpenFailure(const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(Unicode::Utf8Path(path), error);
  if (error) return error.message();
  if (std::filesystem::is_directory(status)) return "it is a directory";
  if (!std::filesystem::is_regular_file(status)) return "it is not a regular file";
  errno = 0;
  if (std::ifstream(Unicode::Utf8Path(path), std::ios::binary)) return "it could not be read";
  return std::strerror(errno);
}

// Whether path lies in or above the value at open, of which the text ends before all is read.
bool Within(const KeyPath& path, const KeyPath& open) {
  return path.size() <= open.size() && std::equal(path.begin(), path.end(), open.begin());
}

// A parse that failed: the module's failure, placed at its cause; and what comes before it, as the
// document it would be if the text ended there, to be checked all the same.
std::optional<TextBefore> ParseFailed(std::string_view text, const std::exception& error,
                                      ConfigNotes& notes, json& doc, Problems& problems,
                                      FileReport& report) {
  const bool too_deep = error.what() == ConfigTooDeep;
  const std::size_t read = notes.parse_stopped_after.value_or(0);
  const std::size_t stopped = too_deep   ? FindTooDeep(text, MaxConfigDepth).offset
                              : read > 0 ? read - 1
                                         : 0;
  const ParseCause cause =
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
  if (cause.offset > 0) report.read_up_to = at.place;
  TextBefore before = WholeTextBefore(text, cause.offset);
  notes = {};
  doc = json();
  try {
    if (!before.text.empty()) doc = ParseConfigText(before.text, &notes);
  } catch (const std::exception&) {
    doc = json();
  }
  return before;
}

// A bound of the module's that the parse passed: the module's failure, placed at the value (or
// key) past it. The module reads no further, and neither does the check: what a file past a bound
// holds would cost what the bound is there to spare.
bool PassedBound(const std::exception& error, const ConfigNotes& notes, Problems& problems) {
  Problem problem;
  bool at_key = false;
  if (!notes.fault || !ExplainBound(problem, error, at_key)) return false;
  problem.error = true;
  problem.stops_module = true;
  problem.path = *notes.fault;
  problem.want =
      at_key ? problems.search.WantKey(problem.path) : problems.search.WantValue(problem.path);
  problem.message = Logged(error);
  problems.Keep(std::move(problem));
  return true;
}

// Places every problem in one walk of the text that was read, and puts them in order: the
// module's own failure first, the rest in the order of the text.
void PlaceProblems(std::string_view text, const std::optional<TextBefore>& before,
                   Problems& problems) {
  const std::vector<TextPlace> places =
      FindPlaces(before ? std::string_view(before->text) : text, problems.search);
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
  const auto rest =
      std::stable_partition(problems.kept.begin(), problems.kept.end(),
                            [](const Problem& problem) { return problem.stops_module; });
  std::stable_sort(rest, problems.kept.end(), [](const Problem& a, const Problem& b) {
    return a.place.line != b.place.line ? a.place.line < b.place.line
                                        : a.place.column < b.place.column;
  });
}

// The species keys to warn about. Of a document the module refuses, every key of "Dinolist", its
// entry read or not, so that a key's own mistake shows beside its entry's.
std::vector<const std::string*> SpeciesKeys(const json* refused, const SpeciesMap& species) {
  std::vector<const std::string*> names;
  if (refused && refused->is_object()) {
    const auto found = refused->find(ConfigKey::Dinolist);
    if (found != refused->end() && found->is_object()) {
      for (const auto& [name, entry] : found->get_ref<const json::object_t&>())
        names.push_back(&name);
      return names;
    }
  }
  for (const auto& [name, entry] : species) names.push_back(&name);
  return names;
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
  // A name is bytes on POSIX systems, and may be no UTF-8: shown, it is escaped as text is.
  report.file = PrintableText(path);
  // Declared before the text, so that the text is gone before the document is taken apart: that
  // takes memory of its own, as much as the document's largest array.
  json doc;
  std::string text;
  Checking check;
  Problems& problems = check.problems;
  try {
    text = ReadConfigFile(path);
  } catch (const std::exception& error) {
    if (error.what() == CantOpenConfig) {
      report.verdict = FileReport::Verdict::CannotOpen;
      report.cannot_open = OpenFailure(path);
      return report;
    }
    // Too large to be read: the document as a whole, and nothing of it checked.
    Problem* problem = problems.Add(true, "too-large");
    bool at_key = false;
    ExplainBound(*problem, error, at_key);
    problem->stops_module = true;
    problem->shown_path = KeyPathText({});
    problem->message = Logged(error);
    report.errors = 1;
    report.problems = std::move(problems.kept);
    return report;
  }
  ConfigNotes notes;
  std::optional<TextBefore> before;
  bool past_bound = false;
  try {
    doc = ParseConfigText(text, &notes);
  } catch (const std::exception& error) {
    past_bound = PassedBound(error, notes, problems);
    if (!past_bound) before = ParseFailed(text, error, notes, doc, problems, report);
  }
  const std::size_t end = before ? before->read : text.size();
  WarnAboutUnread(text, end, problems);
  WarnAboutRepeatedKeys(notes, problems);
  std::optional<ConfigContents> contents;
  if (!before && !past_bound) {
    WarnAboutDocument(doc, problems);
    try {
      contents = BuildConfig(doc, &notes);
    } catch (const std::exception& error) {
      check.Failure(notes.fault.value_or(KeyPath{}), error, doc, true, true);
    }
  }
  if (contents)
    check.WarnAboutFoods(doc, contents->foods);
  else if (doc.is_object())
    check.Steps(doc);
  std::vector<ImprintingForecast> forecasts;
  const SpeciesMap& species = contents ? contents->species : check.species;
  forecasts.reserve(species.size());
  for (const auto& [name, entry] : species) forecasts.push_back(ForecastImprinting(entry));
  WarnAboutSpeciesKeys(SpeciesKeys(contents ? nullptr : &doc, species), problems);
  WarnAboutSpecies(species, forecasts, options.maturation, problems);
  if (contents) {
    report.walk_given = doc.at(ConfigKey::General).contains(ConfigKey::ReplaceCuddleTypeWalk);
    WarnAboutWalk(*contents, report.walk_given, problems);
  }

  PlaceProblems(text, before, problems);
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
