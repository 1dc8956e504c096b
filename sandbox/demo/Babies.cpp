// Raising the demonstration's babies. A config may make a baby's imprinting never complete (no
// gain, a gain too small to count, requests that never fall due) or take millions of cuddles: each
// baby stops at a bound, and its output is bounded too, whatever the config holds.
#include "sandbox/demo/Babies.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "plugin/engine/Printable.h"
#include "plugin/hooks/ImprintingRules.h"
#include "sandbox/game/Game.h"
#include "sandbox/platform/Streams.h"

namespace Demo {
namespace {

constexpr int BarWidth = 20;
// However the config is set, each baby takes at most this many cuddles, and shows at most
// ShownCuddles progress lines and its last one.
constexpr int MaxCuddles = 1000;
constexpr int ShownCuddles = 19;

std::string Clock(double seconds) {
  const auto minutes = static_cast<long long>(seconds / 60 + 0.5);
  return fmt::format("{}d {:02}:{:02}", minutes / 1440, minutes / 60 % 24, minutes % 60);
}

std::string Bar(const Style& style, float quality) {
  const int filled = std::clamp(static_cast<int>(quality * BarWidth + 0.5f), 0, BarWidth);
  std::string bar = "[";
  for (int i = 0; i < BarWidth; ++i) bar += i < filled ? style.full : style.empty;
  return bar + "]";
}

std::string FoodName(const UObject* food) {
  if (!food) return "";
  std::string path = food->path;
  auto dot = path.rfind('.');
  std::string name = dot == std::string::npos ? path : path.substr(dot + 1);
  if (name.size() > 2 && name.compare(name.size() - 2, 2, "_C") == 0) name.resize(name.size() - 2);
  return ShortPrintableText(name, ShownName);
}

std::string KindText(const Game::CuddleCall& call, std::uint8_t asked) {
  if (asked == 2 && call.kind != 2) return "walk -> " + KindText(call, call.kind);
  switch (call.kind) {
    case 0:
      return "cuddle";
    case 1:
      return "food " + FoodName(call.food);
    case 2:
      return "walk";
    default:
      return fmt::format("kind {}", call.kind);
  }
}

// Why a listed baby that never reaches full imprinting does not, in plain words.
std::string NeverText(const ImprintingForecast& forecast) {
  switch (forecast.outcome) {
    case ImprintingForecast::Outcome::NoGain:
      return "a cuddle adds nothing";
    case ImprintingForecast::Outcome::Stalls:
      return fmt::format("its quality stops at {:.4g}%", forecast.stalls_at * 100);
    case ImprintingForecast::Outcome::NeverDue:
      return "its cuddle requests never fall due";
    case ImprintingForecast::Outcome::Full:
      break;
  }
  return "";
}

void Pace(const Style& style) {
  if (style.terminal) std::this_thread::sleep_for(std::chrono::milliseconds(25));
}

void PrintProgress(const Style& style, const APrimalDinoCharacter* baby, const Baby& about,
                   int width, const std::string& what) {
  const float quality = baby->MyCharacterStatusComponent->DinoImprintingQuality;
  std::printf("  %s%s%s  #%d %-*s %s%s%s %3d%%  %s%s%s\n", style.dim,
              Clock(Game::World().TimeSeconds).c_str(), style.reset, baby->id, width,
              about.shown.c_str(), style.green, Bar(style, quality).c_str(), style.reset,
              static_cast<int>(quality * 100 + 0.5f), style.dim, what.c_str(), style.reset);
  std::fflush(stdout);
  Pace(style);
}

// A baby that ends without full imprinting says why: the config never brings it there, or the
// demonstration stops before it does.
void PrintStop(const Baby& baby, int id, const Raised& raised, bool capped) {
  if (baby.forecast && baby.forecast->outcome != ImprintingForecast::Outcome::Full) {
    std::printf(
        "  #%d %s stops after %d cuddles: it never reaches full imprinting with these "
        "settings (%s)\n",
        id, baby.shown.c_str(), raised.cuddles, NeverText(*baby.forecast).c_str());
  } else if (capped && baby.forecast) {
    std::printf("  #%d %s stops after %d cuddles: full imprinting takes %llu cuddles (%s)\n", id,
                baby.shown.c_str(), raised.cuddles,
                static_cast<unsigned long long>(baby.forecast->cuddles),
                DurationText(baby.forecast->seconds).c_str());
  }
}

}  // namespace

Style MakeStyle() {
  if (Platform::StandardOutputIsTerminal())
    return {true, "\u2588", "\u2591", "\033[1m", "\033[2m", "\033[32m", "\033[0m"};
  return {false, "#", ".", "", "", "", ""};
}

std::string Duration(double seconds) {
  return seconds < 0 ? "never (grew up)" : DurationText(seconds);
}

std::vector<Raised> RaiseBabies(const std::vector<Baby>& about, const Style& style, bool quiet) {
  std::vector<APrimalDinoCharacter*> babies;
  std::vector<Raised> raised(about.size());
  std::vector<Game::CuddleCall> requests;
  std::vector<bool> done(about.size());
  std::size_t width = 0;
  for (const Baby& baby : about) width = std::max(width, baby.shown.size());
  for (const Baby& baby : about) {
    babies.push_back(Game::Spawn(baby.species, 0, Maturation, true));
    requests.push_back(Game::RequestNextCuddle(babies.back()));
  }
  for (std::size_t i = 0; i < about.size(); ++i) {
    done[i] = !(babies[i]->BabyNextCuddleTime <= Maturation);
    if (done[i] && !quiet) PrintStop(about[i], babies[i]->id, raised[i], false);
  }
  while (true) {
    // The next request to fall due, among the babies still growing.
    std::size_t next = babies.size();
    for (std::size_t i = 0; i < babies.size(); ++i) {
      if (!done[i] && (next == babies.size() ||
                       babies[i]->BabyNextCuddleTime < babies[next]->BabyNextCuddleTime))
        next = i;
    }
    if (next == babies.size()) break;
    APrimalDinoCharacter* baby = babies[next];
    Game::World().TimeSeconds = std::max(Game::World().TimeSeconds, baby->BabyNextCuddleTime);
    Game::CompleteCuddle(baby);
    Raised& r = raised[next];
    ++r.cuddles;
    const Game::CuddleCall completed = requests[next];
    const std::uint8_t asked = Game::RequestedKind(baby);
    const bool full = IsImprintingComplete(baby->MyCharacterStatusComponent->DinoImprintingQuality);
    if (full) {
      r.full_at = Game::World().TimeSeconds;
    } else {
      requests[next] = Game::RequestNextCuddle(baby);
    }
    const bool capped = !full && r.cuddles >= MaxCuddles;
    done[next] = full || capped || !(baby->BabyNextCuddleTime <= Maturation);
    if (quiet ? full : r.cuddles <= ShownCuddles || done[next]) {
      if (!quiet && r.cuddles > ShownCuddles + 1)
        std::printf("  ...        #%d %s: %d cuddles not shown\n", baby->id,
                    about[next].shown.c_str(), r.cuddles - ShownCuddles - 1);
      PrintProgress(
          style, baby, about[next], static_cast<int>(width),
          quiet ? fmt::format("after {} cuddles", r.cuddles) : KindText(completed, asked));
    }
    if (done[next] && !full && !quiet) PrintStop(about[next], baby->id, r, capped);
  }
  return raised;
}

}  // namespace Demo
