// The nursery demonstration. The game requests cuddles at their due times and the player completes
// each at once, until every baby is fully imprinted or grown; then the same babies are raised again
// with the module unloaded, to show what the game alone would have done.
#include "sandbox/demo/Demo.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "plugin/engine/Unicode.h"
#include "plugin/lifecycle/LogLine.h"
#include "sandbox/console/Console.h"
#include "sandbox/demo/ExampleConfig.h"
#include "sandbox/platform/Streams.h"

namespace Demo {
namespace {

constexpr float Maturation = 5 * 86400;  // long enough for the game alone to finish
constexpr int BarWidth = 20;

struct Style {
  bool terminal;
  const char* full;
  const char* empty;
  const char* bold;
  const char* dim;
  const char* green;
  const char* reset;
};

Style MakeStyle() {
  if (Platform::StandardOutputIsTerminal())
    return {true, "\u2588", "\u2591", "\033[1m", "\033[2m", "\033[32m", "\033[0m"};
  return {false, "#", ".", "", "", "", ""};
}

// Outcome of raising one baby.
struct Raised {
  std::string species;
  int cuddles = 0;
  double full_at = -1;  // world time of full imprinting; -1 when it grew up first
};

std::string Clock(double seconds) {
  const auto minutes = static_cast<long long>(seconds / 60 + 0.5);
  return fmt::format("{}d {:02}:{:02}", minutes / 1440, minutes / 60 % 24, minutes % 60);
}

std::string Duration(double seconds) {
  if (seconds < 0) return "never (grew up)";
  const auto minutes = static_cast<long long>(seconds / 60 + 0.5);
  if (minutes < 60) return fmt::format("{} min", minutes);
  if (minutes < 2 * 1440) return fmt::format("{}h {:02}m", minutes / 60, minutes % 60);
  return fmt::format("{}d {:02}h", minutes / 1440, minutes / 60 % 24);
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
  return name;
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

void Pace(const Style& style) {
  if (style.terminal) std::this_thread::sleep_for(std::chrono::milliseconds(25));
}

void PrintProgress(const Style& style, const APrimalDinoCharacter* baby, int width,
                   const std::string& what) {
  const float quality = baby->MyCharacterStatusComponent->DinoImprintingQuality;
  std::printf("  %s%s%s  #%d %-*s %s%s%s %3d%%  %s%s%s\n", style.dim,
              Clock(Game::World().TimeSeconds).c_str(), style.reset, baby->id, width,
              Game::Species(baby).c_str(), style.green, Bar(style, quality).c_str(), style.reset,
              static_cast<int>(quality * 100 + 0.5f), style.dim, what.c_str(), style.reset);
  std::fflush(stdout);
  Pace(style);
}

// Raises one baby of each species, all in one world. Prints each completed cuddle, or with quiet
// only each baby's last one.
std::vector<Raised> RaiseBabies(const std::vector<std::string>& species, const Style& style,
                                bool quiet) {
  std::vector<APrimalDinoCharacter*> babies;
  std::vector<Raised> raised;
  std::vector<Game::CuddleCall> requests;
  std::size_t width = 0;
  for (const std::string& name : species) width = std::max(width, name.size());
  for (const std::string& name : species) {
    babies.push_back(Game::Spawn(name, 0, Maturation, true));
    raised.push_back({name});
    requests.push_back(Game::RequestNextCuddle(babies.back()));
  }
  while (true) {
    // The next request to fall due, among the babies still growing.
    std::size_t next = babies.size();
    for (std::size_t i = 0; i < babies.size(); ++i) {
      const bool done = raised[i].full_at >= 0 || babies[i]->BabyNextCuddleTime > Maturation;
      if (!done && (next == babies.size() ||
                    babies[i]->BabyNextCuddleTime < babies[next]->BabyNextCuddleTime))
        next = i;
    }
    if (next == babies.size()) break;
    APrimalDinoCharacter* baby = babies[next];
    Game::World().TimeSeconds = std::max(Game::World().TimeSeconds, baby->BabyNextCuddleTime);
    Game::CompleteCuddle(baby);
    Raised& r = raised[next];
    ++r.cuddles;
    const bool full = baby->MyCharacterStatusComponent->DinoImprintingQuality >= 1.0f;
    if (!quiet) {
      PrintProgress(style, baby, static_cast<int>(width),
                    KindText(requests[next], Game::RequestedKind(baby)));
    } else if (full) {
      PrintProgress(style, baby, static_cast<int>(width),
                    fmt::format("after {} cuddles", r.cuddles));
    }
    if (full)
      r.full_at = Game::World().TimeSeconds;
    else
      requests[next] = Game::RequestNextCuddle(baby);
  }
  return raised;
}

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
    return {ConfigContents{}, CutLogText(error.what())};
  }
}

// Up to three listed species, in the module's order, and one that is not listed.
std::vector<std::string> PickSpecies(const ConfigContents& config) {
  std::vector<std::string> species;
  for (const auto& [name, entry] : config.species) {
    if (species.size() == 3) break;
    species.push_back(name);
  }
  std::string unlisted = "Duskmane";
  while (config.species.count(unlisted)) unlisted += "2";
  species.push_back(unlisted);
  return species;
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

// What every step shows: the babies' species and what the module will make of the config.
struct Nursery {
  Style style;
  ConfigContents config;
  std::vector<std::string> species;
};

bool IsListed(const Nursery& nursery, const std::string& name) {
  return nursery.config.species.count(name) > 0;
}

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
  return RaiseBabies(nursery.species, nursery.style, quiet);
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

// Both runs side by side; without a run with the module, the game's alone.
void PrintTable(const Nursery& nursery, const std::optional<std::vector<Raised>>& with_module,
                const std::vector<Raised>& game_alone) {
  const Style& style = nursery.style;
  const std::vector<std::string>& species = nursery.species;
  int width = 7;
  for (const std::string& name : species)
    width = std::max(width, static_cast<int>(name.size()) + (IsListed(nursery, name) ? 0 : 13));
  if (!with_module) {
    std::printf("%s%-*s  %-13s  %s%s\n", style.bold, width, "species", "cuddles taken",
                "time to full imprinting", style.reset);
    for (std::size_t i = 0; i < species.size(); ++i)
      std::printf("%-*s  %13d  %s\n", width, species[i].c_str(), game_alone[i].cuddles,
                  Duration(game_alone[i].full_at).c_str());
    return;
  }
  std::printf("%s%-*s  %-17s  %s%s\n", style.bold, width, "", "cuddles taken",
              "time to full imprinting", style.reset);
  std::printf("%s%-*s  %8s %8s  %-16s %s%s\n", style.bold, width, "species", "Nestkeep", "game",
              "Nestkeep", "game", style.reset);
  for (std::size_t i = 0; i < species.size(); ++i) {
    const std::string label = species[i] + (IsListed(nursery, species[i]) ? "" : " (not listed)");
    std::printf("%-*s  %8d %8d  %-16s %s\n", width, label.c_str(), (*with_module)[i].cuddles,
                game_alone[i].cuddles, Duration((*with_module)[i].full_at).c_str(),
                Duration(game_alone[i].full_at).c_str());
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
  std::vector<std::string> species = PickSpecies(read.contents);
  const Nursery nursery{MakeStyle(), std::move(read.contents), std::move(species)};
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
