// Reading config.json into a new configuration, apart from the running one: the file, its parse,
// and the steps that build the tables. The module and nestkeep-check share exactly this code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "plugin/config/Config.h"

// One complete configuration, as read from a file.
struct ConfigContents {
  std::vector<std::u16string> foods;
  SpeciesMap species;
  bool replace_walk = true;
};

// The keys the module reads, as arrays like the literals they stand for.
namespace ConfigKey {
inline constexpr char General[] = "General";
inline constexpr char ReplaceCuddleTypeWalk[] = "ReplaceCuddleTypeWalk";
inline constexpr char Dinolist[] = "Dinolist";
inline constexpr char CuddleIntervalTime[] = "CuddleIntervalTime";
inline constexpr char CuddleIncreasePercent[] = "CuddleIncreasePercent";
inline constexpr char Footlist[] = "Footlist";
}  // namespace ConfigKey

// One step down into a document: an object's member by its key, an array's element by its index.
using KeyStep = std::variant<std::string, std::size_t>;
// Where a value sits in a document, from the top; empty for the document itself.
using KeyPath = std::vector<KeyStep>;

// A path as an administrator reads it: Dinolist/"Rex"/CuddleIncreasePercent, Footlist/2. The
// module's own keys stand bare, every other key quoted as QuotedText writes it; "(top level)" for
// the document itself. Long keys are cut and a deep path loses its middle, so that the text stays
// short however long the keys or deep the file.
std::string KeyPathText(std::span<const KeyStep> path);

// The path of the value an iteration over container (at path) stands at: an array's element by
// index, an object's member by key, and for a lone value, which iterates as itself, its own path.
KeyPath ElementPath(KeyPath path, const nlohmann::json& container,
                    nlohmann::json::const_iterator at);

// What a read noticed for nestkeep-check: what is legal but may not be what the author meant, and
// where a read that failed was.
struct ConfigNotes {
  // A key given more than once in one object: its path as KeyPathText shows it, how often it was
  // given, and where its first repeat is: the member-th key (from 0) of the container-th object
  // or array to open in the text (from 0, the document itself first). The first occurrence counts.
  struct RepeatedKey {
    std::string path;
    int times;
    std::size_t container;
    std::size_t member;
  };
  std::vector<RepeatedKey> repeated_keys;
  // A parse that failed: the bytes the parser had read, the one it stopped at last (the library's
  // byte offset; past the end when the text ended too soon).
  std::optional<std::size_t> parse_stopped_after;
  // A build step that failed: the path of the value it was reading. A member that is not there is
  // named all the same. A parse that a bound stopped: the path of the value past the bound.
  std::optional<KeyPath> fault;
};

// What a read of a file that cannot be opened fails with; nestkeep-check tells it apart by it.
inline constexpr std::string_view CantOpenConfig = "Can't open config.json";

// Bounds on what a read takes in, far beyond any real config (kilobytes, four levels deep, names of
// tens of bytes; 10,000 species and 1,000 foods are about 1 MB), so that no file can exhaust the
// server's memory or stack or hold up the game: what the module never reads is not kept, and the
// costliest file a read accepts or refuses takes about a tenth of a second of processor time and
// under 40 MB, which keeps a reload within a second on a busy two-core server. The file's own
// bound is set by the costliest refusal, a string that never closes: the JSON library's message
// for it quotes the string, and making it takes about eight times the file's size.
inline constexpr std::uint64_t MaxConfigBytes = 4 << 20;
inline constexpr int MaxConfigDepth = 512;
inline constexpr std::size_t MaxSpecies = 50000;
inline constexpr std::size_t MaxFoods = 50000;
inline constexpr std::size_t MaxSpeciesNameBytes = 1024;
inline constexpr std::size_t MaxFoodBytes = 1024;  // a food reference as written, Type'Path'
// The lines a read logs when a file passes a bound.
inline constexpr std::string_view ConfigTooLarge = "config.json is larger than 4 MiB";
inline constexpr std::string_view ConfigTooDeep =
    "config.json is nested deeper than 512 levels of arrays and objects";
inline constexpr std::string_view TooManySpecies =
    "config.json lists more than 50000 species in Dinolist";
inline constexpr std::string_view TooManyFoods =
    "config.json lists more than 50000 foods in Footlist";
inline constexpr std::string_view SpeciesNameTooLong =
    "config.json has a species name longer than 1024 bytes in Dinolist";
inline constexpr std::string_view FoodTooLong =
    "config.json has a food longer than 1024 bytes in Footlist";

// The full path of config.json under a server directory.
std::string ConfigPath(const std::string& server_dir);

// The bytes of the file at path, within MaxConfigBytes; throws a std::exception whose text is the
// line the module logs.
std::string ReadConfigFile(const std::string& path);
// Reads and parses the file at path; throws a std::exception whose text is the line the module
// logs.
nlohmann::json ParseConfigFile(const std::string& path, ConfigNotes* notes = nullptr);
// Parses config text: the first value only, a leading byte-order mark skipped, and of repeated
// keys the first kept. What the build steps never read is left out: keys the module does not
// know, and every value it reads for its type alone (a setting that is no number, a section of
// the wrong type, a top-level array), which becomes an empty value of that type.
nlohmann::json ParseConfigText(std::string_view text, ConfigNotes* notes = nullptr);

// The steps of reading a parsed document. Each throws the library's exception, or one of its own
// naming the element at fault, on the first thing it cannot read; with notes, it also leaves there
// the path of the value it was reading. The module passes no notes.
std::vector<std::u16string> BuildFoodList(nlohmann::json& doc, ConfigNotes* notes = nullptr);
SpeciesMap BuildSpeciesTable(nlohmann::json& doc, ConfigNotes* notes = nullptr);
bool BuildReplaceWalk(nlohmann::json& doc, ConfigNotes* notes = nullptr);
// The whole configuration of a parsed document, in the order the module reads it.
ConfigContents BuildConfig(nlohmann::json& doc, ConfigNotes* notes = nullptr);

// The pieces of text between occurrences of delimiter; a trailing delimiter leaves no empty piece.
std::vector<std::string> SplitString(std::string text, std::string delimiter);

// Text as it would be written in the file, in double quotes, so that blanks and control characters
// show; with escape_high, bytes above ASCII show as \xNN too (for text that may not be UTF-8).
std::string QuotedText(std::string_view text, bool escape_high = false);
