// nestkeep-check: reads a config.json with the module's own reading code and tells an
// administrator what the module would make of it, before a server or a reload uses it.
//
// The summary goes to standard output; errors and warnings, one a line, to standard error, each
// after the place in the file it is about: "PATH:LINE:COLUMN: KEYPATH: ".
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "plugin/engine/Unicode.h"
#include "plugin/lifecycle/LogLine.h"
#include "sandbox/platform/Program.h"
#include "tools/TextPlaces.h"

using nlohmann::json;

namespace {

constexpr const char* Usage =
    "usage: nestkeep-check [PATH]\n"
    "       nestkeep-check --help | --version\n"
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
    "  1  the module would not load it; the line it would log is shown, after the place in the\n"
    "     file of the value at fault\n"
    "  2  the file cannot be opened, the report cannot be written, or the arguments are wrong\n";

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

// A warning and what it is about: a key path as shown, and its place as asked of the search.
struct Warning {
  std::string path;
  std::size_t place;
  std::string text;
};

// What the check has to say beyond the summary, and the places in the file it points at.
struct Findings {
  PlaceSearch search;
  std::vector<Warning> warnings;
};
Findings Found;

void Warn(std::string path, std::size_t place, std::string text) {
  Found.warnings.push_back({std::move(path), place, std::move(text)});
}

// A warning about the value at path.
void WarnAt(const KeyPath& path, std::string text) {
  Warn(KeyPathText(path), Found.search.WantValue(path), std::move(text));
}

// Keys of an object that the module would ignore only because their letter case differs from
// one it reads.
void WarnKeyCase(const json& object, std::initializer_list<std::string_view> known,
                 const KeyPath& path) {
  if (!object.is_object()) return;
  for (const auto& [key, value] : object.items()) {
    for (std::string_view name : known) {
      if (key != name && SameLetters(key, name)) {
        KeyPath member = path;
        member.emplace_back(key);
        Warn(KeyPathText(member), Found.search.WantKey(member),
             "key differs from \"" + std::string(name) +
                 "\" only in letter case; keys are case-sensitive, so it is ignored");
      }
    }
  }
}

// What can be said of the document alone, whether or not the module would load it.
void WarnAboutDocument(const json& doc, const ConfigNotes& notes) {
  using namespace ConfigKey;
  for (const auto& repeated : notes.repeated_keys) {
    Warn(repeated.path, Found.search.WantMember(repeated.container, repeated.member),
         "key given " + std::to_string(repeated.times) +
             " times; the first counts and the others are ignored");
  }
  if (!doc.is_object()) return;
  WarnKeyCase(doc, {General, Dinolist, Footlist}, {});
  if (auto general = doc.find(General); general != doc.end())
    WarnKeyCase(*general, {ReplaceCuddleTypeWalk}, {General});
  if (auto foods = doc.find(Footlist); foods != doc.end()) {
    if (foods->is_string())
      WarnAt({Footlist},
             "\"Footlist\" is a lone string, not an array; the module reads it as a "
             "list of one food");
    if (foods->is_object())
      WarnAt({Footlist},
             "\"Footlist\" is an object, not an array; the module reads its values as "
             "foods, in the order of their keys");
  }
  auto species = doc.find(Dinolist);
  if (species == doc.end()) {
    WarnAt({Dinolist},
           "there is no \"Dinolist\": no species are configured, so the module changes nothing");
    return;
  }
  if (species->is_null() || ((species->is_object() || species->is_array()) && species->empty())) {
    WarnAt({Dinolist},
           "\"Dinolist\" is empty: no species are configured, so the module changes nothing");
  }
  if (species->is_object()) {
    for (const auto& [name, settings] : species->items())
      WarnKeyCase(settings, {CuddleIntervalTime, CuddleIncreasePercent}, {Dinolist, name});
  }
}

void WarnAboutSpecies(const SpeciesMap& species) {
  using namespace ConfigKey;
  for (const auto& [name, entry] : species) {
    if (!(entry.CuddleIntervalTime > 0)) {
      WarnAt({Dinolist, name, CuddleIntervalTime},
             "CuddleIntervalTime is " + Number(entry.CuddleIntervalTime) +
                 "; at 0 minutes or below, the next cuddle request is due at once");
    }
    if (!(entry.CuddleIncreasePercent > 0)) {
      WarnAt({Dinolist, name, CuddleIncreasePercent},
             "CuddleIncreasePercent is " + Number(entry.CuddleIncreasePercent) +
                 "; at 0 or below, a cuddle adds no imprinting");
    } else if (entry.CuddleIncreasePercent > 1) {
      WarnAt({Dinolist, name, CuddleIncreasePercent},
             "CuddleIncreasePercent is " + Number(entry.CuddleIncreasePercent) +
                 ", above 1; it is a fraction of full imprinting (0.25 is a quarter; 25 is not "
                 "25%), so a single cuddle completes imprinting");
    }
  }
}

// Food references that load, but hardly what was meant. The foods are in the order of iterating
// "Footlist", the order BuildFoodList reads it in.
void WarnAboutFoods(const json& doc, const std::vector<std::u16string>& foods) {
  const auto found = doc.find(ConfigKey::Footlist);
  if (found == doc.end()) return;
  const json& list = *found;
  auto food = foods.begin();
  for (auto it = list.begin(); it != list.end() && food != foods.end(); ++it, ++food) {
    const KeyPath path = ElementPath({ConfigKey::Footlist}, list, it);
    const auto written = it->get<std::string>();
    const std::string reference = QuotedText(written);
    const std::string loaded = Unicode::Utf16ToUtf8(*food);
    if (*food == u"_C") {
      WarnAt(path, "food " + reference +
                       " has an empty path: the engine is asked to load \"_C\", which is no food");
    }
    if (std::count(written.begin(), written.end(), '\'') == 1) {
      WarnAt(path, "food " + reference +
                       " has no closing apostrophe; the module takes the rest as the path and "
                       "asks the engine to load " +
                       loaded);
    }
    if (food->ends_with(u"_C_C")) {
      WarnAt(path, "food " + reference +
                       " already ends in _C, and the module appends another: the engine is asked "
                       "to load " +
                       loaded);
    }
    if (food->find(u'\\') != std::u16string::npos) {
      WarnAt(path, "food " + reference +
                       " has a backslash in its path; object paths are written with \"/\", and "
                       "the engine is asked to load " +
                       loaded);
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

// "PATH:LINE:COLUMN: KEYPATH: ", the place in the file that a line of the report is about.
std::string Where(const std::string& file, TextPlace place, const std::string& path) {
  return file + ":" + std::to_string(place.line) + ":" + std::to_string(place.column) + ": " +
         path + ": ";
}

void PrintWarnings(const std::string& file, const std::vector<TextPlace>& places) {
  for (const auto& warning : Found.warnings) {
    std::fprintf(stderr, "%swarning: %s\n",
                 Where(file, places[warning.place], warning.path).c_str(), warning.text.c_str());
  }
}

// The line the module would log, after the place in the file it is about.
void PrintRefusal(const std::string& file, TextPlace place, const std::string& path,
                  const std::string& message) {
  std::fprintf(stderr, "%s%s\n", Where(file, place, path).c_str(), CutLogText(message).c_str());
}

// The verdict on a file the module would not use.
void PrintRefused(const std::string& file) {
  std::fprintf(stderr,
               "%s: the module would log the message above, without its place in the file, and "
               "not use the file\n",
               file.c_str());
}

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

// Where a parse that failed stopped, as a place and the path there.
StopPlace ParseStop(std::string_view text, const ConfigNotes& notes, const std::exception& error) {
  if (error.what() == ConfigTooDeep) return FindTooDeep(text, MaxConfigDepth);
  const std::size_t read = notes.parse_stopped_after.value_or(0);
  StopPlace stop = FindStop(text, read > 0 ? read - 1 : 0);
  // A number too large for a double is a whole value at fault; the parser stops at its end.
  if (dynamic_cast<const json::out_of_range*>(&error)) stop.place = stop.value;
  return stop;
}

int Check(const std::string& path) {
  // Declared before the text, so that the text is gone before the document is taken apart: that
  // takes memory of its own, as much as the document's largest array.
  json doc;
  std::string text;
  try {
    text = ReadConfigFile(path);
  } catch (const std::exception& error) {
    if (error.what() == CantOpenConfig) {
      std::fprintf(stderr, "error: %s\n", error.what());
      std::fprintf(stderr, "%s: %s\n", path.c_str(), OpenFailure(path).c_str());
      return 2;
    }
    // Too large to be read: the document as a whole.
    PrintRefusal(path, {}, KeyPathText({}), error.what());
    PrintRefused(path);
    return 1;
  }
  ConfigNotes notes;
  try {
    doc = ParseConfigText(text, &notes);
  } catch (const std::exception& error) {
    const StopPlace stop = ParseStop(text, notes, error);
    PrintRefusal(path, stop.place, KeyPathText(stop.path), error.what());
    PrintRefused(path);
    return 1;
  }
  WarnAboutDocument(doc, notes);
  std::optional<ConfigContents> contents;
  std::string failure;
  try {
    contents = BuildConfig(doc, &notes);
  } catch (const std::exception& error) {
    failure = error.what();
  }
  if (!contents) {
    const KeyPath fault = notes.fault.value_or(KeyPath{});
    const std::size_t at = Found.search.WantValue(fault);
    const auto places = FindPlaces(text, Found.search);
    PrintRefusal(path, places[at], KeyPathText(fault), failure);
    PrintWarnings(path, places);
    PrintRefused(path);
    return 1;
  }
  WarnAboutSpecies(contents->species);
  WarnAboutFoods(doc, contents->foods);
  const auto places = FindPlaces(text, Found.search);
  PrintSummary(*contents, doc);
  PrintWarnings(path, places);
  std::printf("%s: the module would load this file (%zu warning%s)\n", path.c_str(),
              Found.warnings.size(), Found.warnings.size() == 1 ? "" : "s");
  return 0;
}

// Reads the arguments and checks the file; gives the exit status.
int Run(const std::vector<std::string>& args) {
  std::optional<std::string> path;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("nestkeep-check %s\n", NESTKEEP_VERSION);
      return 0;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "nestkeep-check: unknown option %s (see --help)\n", args[i].c_str());
      return 2;
    }
    if (path) {
      std::fprintf(stderr, "nestkeep-check: one file at a time (see --help)\n");
      return 2;
    }
    path = args[i];
  }
  return Check(Platform::ShownPath(path.value_or(ConfigPath("."))));
}

}  // namespace

int main(int argc, char** argv) {
  const int status = Run(Platform::StartProgram("nestkeep-check", argc, argv));
  // A verdict nobody could read is no verdict: a full disk or a closed pipe must not pass for 0.
  const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written || std::fflush(stderr) != 0 || std::ferror(stderr)) {
    std::fprintf(stderr, "nestkeep-check: the report could not be written\n");
    return 2;
  }
  return status;
}
