// The nursery demonstration: babies raised with the module, then the same babies again with the
// module unloaded, to show what the game alone would have done; then a reload over RCON.
#include "sandbox/demo/Demo.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "plugin/engine/Printable.h"
#include "plugin/engine/Unicode.h"
#include "plugin/hooks/Forecast.h"
#include "plugin/lifecycle/LogLine.h"
#include "sandbox/console/Console.h"
#include "sandbox/demo/Babies.h"
#include "sandbox/demo/ExampleConfig.h"

namespace Demo {
namespace {

// What the module will make of the config, read with the module's own reading code: its
// contents, or, when it will not load the file, the line it logs instead.
struct DemoConfig {
  ConfigContents contents;
  std::string refusal;
};

DemoConfig ReadDemoConfig(const std::string& config) {
  try {
    nlohmann::json doc = ParseConfigFile(config);
    return {BuildConfig(doc), ""};
  } catch (const std::exception& error) {
    return {ConfigContents{}, PrintableText(CutLogText(error.what()))};
  }
}

// Up to three listed species, in the module's order, each with its forecast, and one species that
// is not listed.
std::vector<Baby> PickBabies(const ConfigContents& config) {
  std::vector<Baby> babies;
  for (const auto& [name, entry] : config.species) {
    if (babies.size() == 3) break;
    babies.push_back({name, ShortPrintableText(name, ShownName), ForecastImprinting(entry)});
  }
  std::string unlisted = "Duskmane";
  while (config.species.count(unlisted)) unlisted += "2";
  babies.push_back({unlisted, unlisted, std::nullopt});
  return babies;
}

// The config's foods, as loadable objects of the world.
void RegisterFoods(const ConfigContents& config) {
  for (const std::u16string& path : config.foods) Game::AddContent(Sandbox::ToUtf8(path));
}

// The server's folder: the one given, or a fresh temporary one holding the example config.json.
struct Folder {
  std::string path;
  bool temporary;
};

// A folder of its own under the system's temporary folder, named nestkeep-demo-XXXXXX.
std::optional<std::string> MakeTemporaryFolder() {
  static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "nestkeep-demo-";
    for (int i = 0; i < 6; ++i) name += Letters[random() % (sizeof Letters - 1)];
    const auto path = std::filesystem::temp_directory_path() / name;
    std::error_code error;
    // Made here and now, or taken by someone else: create_directory tells which.
    if (std::filesystem::create_directory(path, error)) return Unicode::PathUtf8(path);
    if (error) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<Folder> PrepareFolder(const std::optional<std::string>& dir) {
  // ConfigPath puts a separator of its own after the folder.
  if (dir) return Folder{dir->ends_with('/') ? dir->substr(0, dir->size() - 1) : *dir, false};
  const std::optional<std::string> path = MakeTemporaryFolder();
  if (!path) {
    std::fprintf(stderr, "nestkeep-sandbox: cannot make a temporary folder in %s\n",
                 Unicode::PathUtf8(std::filesystem::temp_directory_path()).c_str());
    return std::nullopt;
  }
  const std::string config = ConfigPath(*path);
  std::filesystem::create_directories(Unicode::Utf8Path(config).parent_path());
  std::ofstream(Unicode::Utf8Path(config)) << ExampleConfig;
  return Folder{*path, true};
}

// What every step shows: the babies and what the module will make of the config.
struct Nursery {
  Style style;
  ConfigContents config;
  std::vector<Baby> babies;
};

bool LoadModule() {
  if (std::string why = Sandbox::LoadModule(Console::ModulePath()); !why.empty()) {
    std::fprintf(stderr, "nestkeep-sandbox: %s\n", why.c_str());
    return false;
  }
  return true;
}

// Raises the babies in a fresh world under a heading.
std::vector<Raised> Raise(const Nursery& nursery, const char* heading, bool quiet) {
  std::printf("%s%s%s\n", nursery.style.bold, heading, nursery.style.reset);
  Game::ResetGame();
  RegisterFoods(nursery.config);
  return RaiseBabies(nursery.babies, nursery.style, quiet);
}

std::optional<std::vector<Raised>> RaiseWithModule(const Nursery& nursery) {
  if (!LoadModule()) return std::nullopt;
  std::vector<Raised> raised = Raise(nursery, "With Nestkeep", false);
  Sandbox::UnloadModule();
  std::printf("\n");
  return raised;
}

// Of the game alone only each baby's last cuddle shows: its cuddles differ in nothing but time.
std::vector<Raised> RaiseByGameAlone(const Nursery& nursery) {
  std::vector<Raised> raised = Raise(nursery, "The game alone", true);
  std::printf("\n");
  return raised;
}

// A listed baby's figures come from its forecast, the one nestkeep-check shows; the others' from
// how they were raised.
std::pair<std::string, std::string> Figures(const Baby& baby, const Raised& raised) {
  if (!baby.forecast) return {std::to_string(raised.cuddles), Duration(raised.full_at)};
  const ImprintingForecast& forecast = *baby.forecast;
  if (forecast.outcome != ImprintingForecast::Outcome::Full) return {"-", "never"};
  if (!ReachesFullWithin(forecast, Maturation)) return {"-", Duration(-1)};
  return {std::to_string(forecast.cuddles), DurationText(forecast.seconds)};
}

// Both runs side by side; without a run with the module, the game's alone.
void PrintTable(const Nursery& nursery, const std::optional<std::vector<Raised>>& with_module,
                const std::vector<Raised>& game_alone) {
  const Style& style = nursery.style;
  const std::vector<Baby>& babies = nursery.babies;
  auto label = [&](const Baby& baby) {
    return baby.shown + (with_module && !baby.forecast ? " (not listed)" : "");
  };
  int width = 7;
  for (const Baby& baby : babies) width = std::max(width, static_cast<int>(label(baby).size()));
  if (!with_module) {
    std::printf("%s%-*s  %-13s  %s%s\n", style.bold, width, "species", "cuddles taken",
                "time to full imprinting", style.reset);
    for (std::size_t i = 0; i < babies.size(); ++i)
      std::printf("%-*s  %13d  %s\n", width, label(babies[i]).c_str(), game_alone[i].cuddles,
                  Duration(game_alone[i].full_at).c_str());
    return;
  }
  std::printf("%s%-*s  %-17s  %s%s\n", style.bold, width, "", "cuddles taken",
              "time to full imprinting", style.reset);
  std::printf("%s%-*s  %8s %8s  %-16s %s%s\n", style.bold, width, "species", "Nestkeep", "game",
              "Nestkeep", "game", style.reset);
  for (std::size_t i = 0; i < babies.size(); ++i) {
    const auto [cuddles, time] = Figures(babies[i], (*with_module)[i]);
    std::printf("%-*s  %8s %8d  %-16s %s\n", width, label(babies[i]).c_str(), cuddles.c_str(),
                game_alone[i].cuddles, time.c_str(), Duration(game_alone[i].full_at).c_str());
  }
}

bool ReloadOverRcon() {
  if (!LoadModule()) return false;
  std::printf("\nreloading config.json over RCON: rcon Nestkeep.reload\n");
  for (const RconReply& reply : Console::RunRcon(1, "Nestkeep.reload")) {
    std::string text = reply.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::printf("  reply id=%d type=%d: %s\n", reply.id, reply.type, text.c_str());
  }
  Sandbox::UnloadModule();
  return true;
}

// The demonstration with dir as the server's folder; gives the exit status.
int Demonstrate(const std::string& dir) {
  const std::string config = ConfigPath(dir);
  Sandbox::SetCurrentDir(dir);
  DemoConfig read = ReadDemoConfig(config);
  std::vector<Baby> babies = PickBabies(read.contents);
  const Nursery nursery{MakeStyle(), std::move(read.contents), std::move(babies)};
  // Shown in the platform's own separators; the module reads it with forward slashes everywhere.
  const std::string shown = Unicode::PathUtf8(Unicode::Utf8Path(config).make_preferred());
  // A config the module refuses is the first thing an administrator must learn of.
  if (!read.refusal.empty()) {
    std::printf("the module refuses %s; it logs:\n  [Nestkeep][error] %s\n", shown.c_str(),
                read.refusal.c_str());
    std::printf("so the babies are raised by the game alone\n\n");
  }
  std::printf("%sNestkeep nursery demonstration%s\n", nursery.style.bold, nursery.style.reset);
  std::printf("config: %s\n", shown.c_str());
  std::printf("the game alone asks for a cuddle every %g hours and each adds %g%%\n\n",
              Game::GameCuddleInterval / 3600, static_cast<double>(Game::GameCuddleGain) * 100);

  if (!read.refusal.empty()) {
    PrintTable(nursery, std::nullopt, RaiseByGameAlone(nursery));
    return 1;
  }
  const std::optional<std::vector<Raised>> with_module = RaiseWithModule(nursery);
  if (!with_module) return 1;
  const std::vector<Raised> game_alone = RaiseByGameAlone(nursery);
  PrintTable(nursery, with_module, game_alone);
  return ReloadOverRcon() ? 0 : 1;
}

}  // namespace

int Run(const std::optional<std::string>& dir) {
  const std::optional<Folder> folder = PrepareFolder(dir);
  if (!folder) return 1;
  const int status = Demonstrate(folder->path);
  if (folder->temporary) std::filesystem::remove_all(Unicode::Utf8Path(folder->path));
  return status;
}

}  // namespace Demo
