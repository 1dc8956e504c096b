#include "tools/check/TextReport.h"

#include <cmath>
#include <string>

#include "plugin/engine/Printable.h"
#include "plugin/engine/Unicode.h"
#include "tools/check/Warnings.h"

namespace {

std::string PlaceText(TextPlace place) {
  return std::to_string(place.line) + ":" + std::to_string(place.column);
}

std::string Plural(std::size_t count, const char* one) {
  return std::to_string(count) + " " + one + (count == 1 ? "" : "s");
}

std::string SpeciesText(const std::string& name, const SpeciesEntry& entry) {
  const float seconds = IntervalSeconds(entry);
  return QuotedText(name) + ": cuddle every " + Number(entry.CuddleIntervalTime) + " min (" +
         (std::isinf(seconds) ? "never due" : Number(seconds) + " s") + "), +" +
         Number(entry.CuddleIncreasePercent) + " imprinting per cuddle";
}

std::string WalkText(WalkEffect effect) {
  switch (effect) {
    case WalkEffect::Food:
      return "replaced by food requests";
    case WalkEffect::PlainCuddle:
      return "turned into plain cuddles, as there are no foods to ask for";
    case WalkEffect::Kept:
      break;
  }
  return "kept as the game makes them";
}

void WriteSummary(const FileReport& report, const TextOptions& options, std::FILE* out) {
  const ConfigContents& contents = *report.contents;
  std::fprintf(out, "Species (%zu):\n", contents.species.size());
  for (const auto& [name, entry] : contents.species)
    std::fprintf(out, "  %s\n", SpeciesText(name, entry).c_str());
  std::fprintf(out, "Foods (%zu), as the engine will be asked to load them:\n",
               contents.foods.size());
  for (const auto& food : contents.foods)
    std::fprintf(out, "  %s\n", PrintableText(Unicode::Utf16ToUtf8(food)).c_str());
  std::fprintf(out, "Walk requests: %s (ReplaceCuddleTypeWalk %s)\n",
               WalkText(WalkEffectOf(contents)).c_str(),
               !report.walk_given      ? "true by default, as it is not given"
               : contents.replace_walk ? "true"
                                       : "false");
  if (contents.species.empty()) return;
  std::fprintf(out, "Imprinting forecast, from birth, each request cuddled as it falls due%s:\n",
               options.maturation
                   ? (" (babies grow up in " + DurationText(*options.maturation) + ")").c_str()
                   : "");
  auto forecast = report.forecasts.begin();
  for (const auto& [name, entry] : contents.species) {
    std::fprintf(out, "  %s: %s\n", QuotedText(name).c_str(),
                 ForecastText(*forecast++, entry).c_str());
  }
}

void WriteProblems(const FileReport& report, std::FILE* err) {
  for (const Problem& problem : report.problems) {
    const std::string where = report.file + ":" + PlaceText(problem.place) + ": ";
    const char* label = problem.stops_module ? "" : problem.error ? "error: " : "warning: ";
    std::fprintf(err, "%s%s: %s%s\n", where.c_str(), problem.shown_path.c_str(), label,
                 problem.message.c_str());
    if (!problem.hint.empty())
      std::fprintf(err, "%shint: %s\n", where.c_str(), problem.hint.c_str());
  }
  for (const auto& [code, count] : report.omitted) {
    for (const Problem& problem : report.problems) {
      if (problem.code != code) continue;
      std::fprintf(err, "%s: %zu more %s like the one at %s are not shown (%zu of a kind are)\n",
                   report.file.c_str(), count, problem.error ? "errors" : "warnings",
                   PlaceText(problem.place).c_str(), Problems::MaxOfAKind);
      break;
    }
  }
}

}  // namespace

std::string ForecastText(const ImprintingForecast& forecast, const SpeciesEntry& entry) {
  using Outcome = ImprintingForecast::Outcome;
  switch (forecast.outcome) {
    case Outcome::Full:
      return "full after " + Plural(forecast.cuddles, "cuddle") + ", " +
             DurationText(forecast.seconds);
    case Outcome::NoGain:
      return entry.CuddleIncreasePercent < 0 ? "never: each cuddle takes imprinting away"
                                             : "never: a cuddle adds no imprinting";
    case Outcome::Stalls:
      return "never: the quality stops at " + Number(forecast.stalls_at * 100) + "% after " +
             Plural(forecast.cuddles, "cuddle");
    case Outcome::NeverDue:
      break;
  }
  return "never: no cuddle request ever falls due";
}

void WriteTextReport(const FileReport& report, const TextOptions& options, std::FILE* out,
                     std::FILE* err) {
  if (report.verdict == FileReport::Verdict::CannotOpen) {
    std::fprintf(err, "%s: cannot be opened: %s\n", report.file.c_str(),
                 report.cannot_open.c_str());
    std::fprintf(err, "%s: the module would log \"%s\" and not use the file\n", report.file.c_str(),
                 std::string(CantOpenConfig).c_str());
    return;
  }
  if (report.contents && options.summary) WriteSummary(report, options, out);
  // On a terminal, what was written to each stream shows in the order it was written.
  std::fflush(out);
  WriteProblems(report, err);
  std::fflush(err);
  if (report.contents) {
    std::fprintf(out, "%s: the module would load this file (%s)\n", report.file.c_str(),
                 Plural(report.warnings, "warning").c_str());
    return;
  }
  std::string verdict = report.file +
                        ": the module would log the first message above, without its place in "
                        "the file, and not use the file";
  if (report.read_up_to) {
    verdict += "; it reads no further than " + PlaceText(*report.read_up_to) +
               ", so only what comes before is checked";
  }
  if (report.errors > 1) verdict += " (" + Plural(report.errors, "error") + " found in all)";
  std::fprintf(err, "%s\n", verdict.c_str());
}

void WriteTextDiff(const FileReport& running, const FileReport& next, const ConfigDiff& diff,
                   std::FILE* out) {
  if (!next.contents) {
    std::fprintf(out,
                 "A reload would change nothing: the module refuses %s and keeps what it has\n",
                 next.file.c_str());
    return;
  }
  if (running.verdict == FileReport::Verdict::CannotOpen) {
    std::fprintf(out, "%s cannot be opened (%s); compared with no config at all:\n",
                 running.file.c_str(), running.cannot_open.c_str());
  } else if (!running.contents) {
    std::fprintf(out,
                 "%s is no config the module would load, so no server runs on it; compared with "
                 "no config at all:\n",
                 running.file.c_str());
  }
  if (diff.Empty()) {
    std::fprintf(out, "A reload from %s to %s would change nothing\n", running.file.c_str(),
                 next.file.c_str());
    return;
  }
  std::fprintf(out, "A reload from %s to %s would change:\n", running.file.c_str(),
               next.file.c_str());
  for (const auto& species : diff.added)
    std::fprintf(out, "  species added: %s\n", SpeciesText(species.name, species.after).c_str());
  for (const auto& species : diff.removed)
    std::fprintf(out, "  species removed: %s\n", QuotedText(species.name).c_str());
  for (const auto& species : diff.changed) {
    std::string change;
    auto setting = [&](const char* key, float before, float after) {
      if (Number(before) == Number(after)) return;
      change += std::string(change.empty() ? "" : ", ") + key + " " + Number(before) + " -> " +
                Number(after);
    };
    setting(ConfigKey::CuddleIntervalTime, species.before.CuddleIntervalTime,
            species.after.CuddleIntervalTime);
    setting(ConfigKey::CuddleIncreasePercent, species.before.CuddleIncreasePercent,
            species.after.CuddleIncreasePercent);
    std::fprintf(out, "  species changed: %s: %s; %s -> %s\n", QuotedText(species.name).c_str(),
                 change.c_str(),
                 ForecastText(ForecastImprinting(species.before), species.before).c_str(),
                 ForecastText(ForecastImprinting(species.after), species.after).c_str());
  }
  auto foods = [&](const char* what, const std::vector<ConfigDiff::Food>& list) {
    for (const auto& food : list) {
      std::fprintf(out, "  %s: %s%s\n", what, PrintableText(food.path).c_str(),
                   food.count == 1 && food.of == 1 ? ""
                                                   : (" (" + std::to_string(food.count) + " of " +
                                                      std::to_string(food.of) + " entries)")
                                                         .c_str());
    }
  };
  foods("food added", diff.foods_added);
  foods("food removed", diff.foods_removed);
  if (diff.walk) {
    std::fprintf(out, "  walk requests: %s -> %s\n", WalkText(diff.walk->first).c_str(),
                 WalkText(diff.walk->second).c_str());
  }
}
