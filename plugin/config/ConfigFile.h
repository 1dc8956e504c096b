// Reading config.json into a new configuration, apart from the running one: the file, its parse,
// and the steps that build the tables. The module and nestkeep-check share exactly this code.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/config/Config.h"

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
