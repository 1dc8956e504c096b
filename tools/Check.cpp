// nestkeep-check: reads a config.json with the module's own reading code and tells an
// administrator what the module would make of it, before a server or a reload uses it.
//
// The summary goes to standard output; errors and warnings, one a line, to standard error.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "plugin/engine/Unicode.h"
#include "plugin/lifecycle/LogLine.h"

using nlohmann::json;

namespace {

constexpr const char* Usage =
    "usage: nestkeep-check [PATH]\n"
    "\n"
    "Reads a Nestkeep config.json the way the module does and shows what the module would make of\n"
    "it: each species with its cuddle interval and imprinting increase, each food as the engine\n"
    "will be asked to load it, and whether walk requests are replaced. Warns about what the "
    "module\n"
    "accepts but is most likely a mistake.\n"
    "\n"
    "PATH defaults to ./ArkApi/Plugins/Nestkeep/config.json, the file a server started in the\n"
    "current directory reads.\n"
    "\n"
    "Exit status:\n"
    "  0  the module would load the file (there may be warnings)\n"
    "  1  the module would not load it; the line it would log is shown\n"
    "  2  the file cannot be opened, the report cannot be written, or the arguments are wrong\n";

constexpr const char* DefaultPath = "./ArkApi/Plugins/Nestkeep/config.json";

// The shortest text that reads back as the same float.
std::string Number(float value) {
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::vector<std::string> Warnings;

void Warn(std::string text) { Warnings.push_back(std::move(text)); }

// Keys of an object that the module would ignore only because their letter case differs from
// one it reads.
void WarnKeyCase(const json& object, std::initializer_list<std::string_view> known,
                 const std::string& where) {
  if (!object.is_object()) return;
  for (const auto& [key, value] : object.items()) {
    for (std::string_view name : known) {
      if (key != name && SameLetters(key, name)) {
        Warn("key " + QuotedText(key) + " " + where + " differs from \"" + std::string(name) +
             "\" only in letter case; keys are case-sensitive, so it is ignored");
      }
    }
  }
}

// What can be said of the document alone, whether or not the module would load it.
void WarnAboutDocument(const json& doc, const ConfigNotes& notes) {
  for (const auto& repeated : notes.repeated_keys) {
    Warn("key " + repeated.path + " is given " + std::to_string(repeated.times) +
         " times; the first counts and the others are ignored");
  }
  if (!doc.is_object()) return;
  WarnKeyCase(doc, {"General", "Dinolist", "Footlist"}, "at the top level");
  if (auto general = doc.find("General"); general != doc.end())
    WarnKeyCase(*general, {"ReplaceCuddleTypeWalk"}, "in \"General\"");
  auto species = doc.find("Dinolist");
  if (species == doc.end()) {
    Warn("there is no \"Dinolist\": no species are configured, so the module changes nothing");
    return;
  }
  if (species->is_null() || ((species->is_object() || species->is_array()) && species->empty())) {
    Warn("\"Dinolist\" is empty: no species are configured, so the module changes nothing");
  }
  if (species->is_object()) {
    for (const auto& [name, settings] : species->items()) {
      WarnKeyCase(settings, {"CuddleIntervalTime", "CuddleIncreasePercent"},
                  "in " + QuotedText("Dinolist/" + name));
    }
  }
}

void WarnAboutSpecies(const SpeciesMap& species) {
  for (const auto& [name, entry] : species) {
    const std::string who = QuotedText(name) + ": ";
    if (!(entry.CuddleIntervalTime > 0)) {
      Warn(who + "CuddleIntervalTime is " + Number(entry.CuddleIntervalTime) +
           "; at 0 minutes or below, the next cuddle request is due at once");
    }
    if (!(entry.CuddleIncreasePercent > 0)) {
      Warn(who + "CuddleIncreasePercent is " + Number(entry.CuddleIncreasePercent) +
           "; at 0 or below, a cuddle adds no imprinting");
    } else if (entry.CuddleIncreasePercent > 1) {
      Warn(who + "CuddleIncreasePercent is " + Number(entry.CuddleIncreasePercent) +
           ", above 1; it is a fraction of full imprinting (0.25 is a quarter; 25 is not 25%), so "
           "a single cuddle completes imprinting");
    }
  }
}

void PrintSummary(const ConfigContents& contents, const json& doc) {
  std::printf("Species (%zu):\n", contents.species.size());
  for (const auto& [name, entry] : contents.species) {
    std::printf("  %s: cuddle every %s min (%s s), +%s imprinting per cuddle\n",
                QuotedText(name).c_str(), Number(entry.CuddleIntervalTime).c_str(),
                Number(IntervalSeconds(entry)).c_str(),
                Number(entry.CuddleIncreasePercent).c_str());
  }
  std::printf("Foods (%zu), as the engine will be asked to load them:\n", contents.foods.size());
  for (const auto& food : contents.foods) std::printf("  %s\n", Unicode::Utf16ToUtf8(food).c_str());
  const bool given = doc.at("General").contains("ReplaceCuddleTypeWalk");
  std::printf("Walk requests: %s (ReplaceCuddleTypeWalk %s)\n",
              contents.replace_walk ? "replaced by food requests" : "kept as the game makes them",
              given ? (contents.replace_walk ? "true" : "false") : "not given, so true");
}

void PrintWarnings() {
  for (const auto& warning : Warnings) std::fprintf(stderr, "warning: %s\n", warning.c_str());
}

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

int Check(const std::string& path) {
  ConfigNotes notes;
  json doc;
  try {
    doc = ParseConfigFile(path, &notes);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "error: %s\n", CutLogText(error.what()).c_str());
    if (error.what() == CantOpenConfig) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), OpenFailure(path).c_str());
      return 2;
    }
    std::fprintf(stderr, "%s: the module would log this line and not use the file\n", path.c_str());
    return 1;
  }
  WarnAboutDocument(doc, notes);
  std::optional<ConfigContents> contents;
  std::string failure;
  try {
    contents = BuildConfig(doc);
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (!contents) {
    std::fprintf(stderr, "error: %s\n", CutLogText(failure).c_str());
    PrintWarnings();
    std::fprintf(stderr, "%s: the module would log this line and not use the file\n", path.c_str());
    return 1;
  }
  WarnAboutSpecies(contents->species);
  PrintSummary(*contents, doc);
  PrintWarnings();
  std::printf("%s: the module would load this file (%zu warning%s)\n", path.c_str(),
              Warnings.size(), Warnings.size() == 1 ? "" : "s");
  return 0;
}

// Reads the arguments and checks the file; gives the exit status.
int Run(int argc, char** argv) {
  std::optional<std::string> path;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "nestkeep-check: unknown option %s (see --help)\n", argv[i]);
      return 2;
    }
    if (path) {
      std::fprintf(stderr, "nestkeep-check: one file at a time (see --help)\n");
      return 2;
    }
    path = argv[i];
  }
  return Check(path.value_or(DefaultPath));
}

}  // namespace

int main(int argc, char** argv) {
  const int status = Run(argc, argv);
  // A verdict nobody could read is no verdict: a full disk or a closed pipe must not pass for 0.
  const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written || std::fflush(stderr) != 0 || std::ferror(stderr)) {
    std::fprintf(stderr, "nestkeep-check: the report could not be written\n");
    return 2;
  }
  return status;
}
