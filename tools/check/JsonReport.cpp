#include "tools/check/JsonReport.h"

#include "plugin/engine/Unicode.h"
#include "tools/check/TextReport.h"

using nlohmann::json;

namespace {

const char* VerdictText(FileReport::Verdict verdict) {
  switch (verdict) {
    case FileReport::Verdict::Loads:
      return "loads";
    case FileReport::Verdict::Refused:
      return "refused";
    case FileReport::Verdict::CannotOpen:
      break;
  }
  return "cannot-open";
}

const char* WalkCode(WalkEffect effect) {
  switch (effect) {
    case WalkEffect::Food:
      return "food";
    case WalkEffect::PlainCuddle:
      return "plain-cuddle";
    case WalkEffect::Kept:
      break;
  }
  return "kept";
}

const char* OutcomeCode(ImprintingForecast::Outcome outcome) {
  using Outcome = ImprintingForecast::Outcome;
  switch (outcome) {
    case Outcome::Full:
      return "full";
    case Outcome::NoGain:
      return "no-gain";
    case Outcome::Stalls:
      return "stalls";
    case Outcome::NeverDue:
      break;
  }
  return "never-due";
}

void WriteSettings(JsonWriter& w, const SpeciesEntry& entry) {
  w.Number("interval_minutes", entry.CuddleIntervalTime);
  w.Number("interval_seconds", IntervalSeconds(entry));
  w.Number("increase", entry.CuddleIncreasePercent);
}

void WriteProblems(JsonWriter& w, const FileReport& report) {
  w.Open("problems", '[');
  for (const Problem& problem : report.problems) {
    w.Open("", '{');
    w.Text("file", report.file);
    w.Count("line", problem.place.line);
    w.Count("column", problem.place.column);
    w.Text("path", problem.shown_path);
    w.Text("severity", problem.error ? "error" : "warning");
    w.Text("code", problem.code);
    w.Text("message", problem.message);
    problem.hint.empty() ? w.Null("hint") : w.Text("hint", problem.hint);
    w.Flag("stops_module", problem.stops_module);
    w.Close('}');
  }
  w.Close(']');
  w.Open("omitted", '[');
  for (const auto& [code, count] : report.omitted) {
    w.Open("", '{');
    w.Text("code", code);
    w.Count("count", count);
    w.Close('}');
  }
  w.Close(']');
}

void WriteSummary(JsonWriter& w, const FileReport& report, std::optional<double> maturation) {
  const ConfigContents& contents = *report.contents;
  w.Open("summary", '{');
  w.Open("species", '[');
  auto forecast = report.forecasts.begin();
  for (const auto& [name, entry] : contents.species) {
    w.Open("", '{');
    w.Text("name", name);
    WriteSettings(w, entry);
    w.Open("forecast", '{');
    w.Text("outcome", OutcomeCode(forecast->outcome));
    w.Text("text", ForecastText(*forecast, entry));
    if (forecast->outcome == ImprintingForecast::Outcome::Full) {
      w.Count("cuddles", forecast->cuddles);
      w.Number("seconds", forecast->seconds);
    }
    if (maturation) w.Flag("full_before_grown", ReachesFullWithin(*forecast, *maturation));
    w.Close('}');
    w.Close('}');
    ++forecast;
  }
  w.Close(']');
  w.Open("foods", '[');
  for (const auto& food : contents.foods) w.Text("", Unicode::Utf16ToUtf8(food));
  w.Close(']');
  w.Open("walk", '{');
  w.Flag("replace", contents.replace_walk);
  w.Flag("given", report.walk_given);
  w.Text("effect", WalkCode(WalkEffectOf(contents)));
  w.Close('}');
  w.Close('}');
}

void WriteDiff(JsonWriter& w, const FileReport& running, const ConfigDiff& diff) {
  w.Open("diff", '{');
  w.Text("running", running.file);
  w.Text("running_verdict", VerdictText(running.verdict));
  auto species = [&](const char* key, const std::vector<ConfigDiff::Species>& list, bool before,
                     bool after) {
    w.Open(key, '[');
    for (const auto& one : list) {
      w.Open("", '{');
      w.Text("name", one.name);
      if (before) {
        w.Open("before", '{');
        WriteSettings(w, one.before);
        w.Close('}');
      }
      if (after) {
        w.Open("after", '{');
        WriteSettings(w, one.after);
        w.Close('}');
      }
      w.Close('}');
    }
    w.Close(']');
  };
  species("species_added", diff.added, false, true);
  species("species_removed", diff.removed, true, false);
  species("species_changed", diff.changed, true, true);
  auto foods = [&](const char* key, const std::vector<ConfigDiff::Food>& list) {
    w.Open(key, '[');
    for (const auto& food : list) {
      w.Open("", '{');
      w.Text("path", food.path);
      w.Count("count", food.count);
      w.Close('}');
    }
    w.Close(']');
  };
  foods("foods_added", diff.foods_added);
  foods("foods_removed", diff.foods_removed);
  if (diff.walk) {
    w.Open("walk", '{');
    w.Text("before", WalkCode(diff.walk->first));
    w.Text("after", WalkCode(diff.walk->second));
    w.Close('}');
  } else {
    w.Null("walk");
  }
  w.Close('}');
}

}  // namespace

void WriteJsonFile(JsonWriter& w, const JsonFile& file, std::optional<double> maturation) {
  const FileReport& report = *file.report;
  w.Open("", '{');
  w.Text("file", report.file);
  w.Text("verdict", VerdictText(report.verdict));
  w.Count("exit_status", static_cast<std::uint64_t>(report.Status()));
  report.cannot_open.empty() ? w.Null("cannot_open") : w.Text("cannot_open", report.cannot_open);
  WriteProblems(w, report);
  w.Count("errors", report.errors);
  w.Count("warnings", report.warnings);
  if (report.read_up_to) {
    w.Open("read_up_to", '{');
    w.Count("line", report.read_up_to->line);
    w.Count("column", report.read_up_to->column);
    w.Close('}');
  } else {
    w.Null("read_up_to");
  }
  report.contents ? WriteSummary(w, report, maturation) : w.Null("summary");
  if (file.diff && report.contents) WriteDiff(w, *file.running, *file.diff);
  w.Close('}');
}
