// The module's configuration: config.json, read whole into new tables that replace the running
// ones in one step, and the readers the detours use.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

struct SpeciesEntry {
  float CuddleIntervalTime;     // minutes between two cuddle requests
  float CuddleIncreasePercent;  // imprinting added per cuddle; 1.0 is full imprinting
};

// Ordered by the bytes of the name tag, as unsigned values.
using SpeciesMap = std::map<std::string, SpeciesEntry, std::less<>>;

// The running configuration. ReadConfig alone writes it; the detours read it.
extern SpeciesMap SpeciesTable;
extern std::vector<std::u16string> FoodList;
extern bool KeepWalkCuddle;  // set when walk requests stay as the game made them

// Reads config.json under the server's working directory. On success replaces the three tables
// together and returns true; on any failure logs one error line and leaves them as they were.
bool ReadConfig();

// The interval in seconds and the increase of a listed species; false (out untouched) otherwise.
bool FindSpecies(std::string name, std::pair<float, float>* out);
// Copies a food path drawn with rand(); false (out untouched) when the list is empty.
bool PickRandomFood(std::u16string* out);
// True when walk requests stay as the game made them.
bool IsWalkCuddleKept();

// A configured interval in the seconds the module uses, multiplied in 32-bit arithmetic. Inline, so
// that the detours and nestkeep-check, which has no tables, compute it alike.
inline float IntervalSeconds(const SpeciesEntry& entry) { return entry.CuddleIntervalTime * 60.0f; }

// ---- Reading, without touching the running configuration -----------------------------------

// One complete configuration, as read from a file.
struct ConfigContents {
  std::vector<std::u16string> foods;
  SpeciesMap species;
  bool replace_walk = true;
};

// What a read noticed that is legal but may not be what the author meant.
struct ConfigNotes {
  // A key given more than once in one object: its path ("Dinolist/Raptor"; array elements by
  // index) and how often it was given. The first occurrence counts.
  struct RepeatedKey {
    std::string path;
    int times;
  };
  std::vector<RepeatedKey> repeated_keys;
};

// What a read of a file that cannot be opened fails with; nestkeep-check tells it apart by it.
inline constexpr std::string_view CantOpenConfig = "Can't open config.json";

// Bounds on what a read takes in, far beyond any real config (kilobytes; 10,000 species are about
// 1 MB, nested four levels deep), so that no file can exhaust the server's memory or stack.
inline constexpr std::uint64_t MaxConfigBytes = 64 << 20;
inline constexpr int MaxConfigDepth = 512;
inline constexpr std::string_view ConfigTooDeep =
    "config.json is nested deeper than 512 levels of arrays and objects";

// The full path of config.json under a server directory.
std::string ConfigPath(const std::string& server_dir);

// Reads the file at path; throws a std::exception whose text is the line the module logs.
nlohmann::json ParseConfigFile(const std::string& path, ConfigNotes* notes = nullptr);
// Parses config text: the first value only, a leading byte-order mark skipped, and of repeated
// keys the first kept.
nlohmann::json ParseConfigText(std::string_view text, ConfigNotes* notes = nullptr);

// The steps of reading a parsed document. Each throws the library's exception, or one of its own
// naming the element at fault, on the first thing it cannot read.
std::vector<std::u16string> BuildFoodList(nlohmann::json& doc);
SpeciesMap BuildSpeciesTable(nlohmann::json& doc);
bool BuildReplaceWalk(nlohmann::json& doc);
// The whole configuration of a parsed document, in the order the module reads it.
ConfigContents BuildConfig(nlohmann::json& doc);

// The pieces of text between occurrences of delimiter; a trailing delimiter leaves no empty piece.
std::vector<std::string> SplitString(std::string text, std::string delimiter);

// Text as it would be written in the file, in double quotes, so that blanks and control characters
// show; with escape_high, bytes above ASCII show as \xNN too (for text that may not be UTF-8).
std::string QuotedText(std::string_view text, bool escape_high = false);
