// Reading config.json into a new configuration, apart from the running one. Nothing here reaches
// the host, so nestkeep-check runs exactly this code.
//
// The JSON library reports most failures itself; its exception texts are what an administrator
// sees in the log, so the reading below keeps to the plain library calls that raise them.
#include "plugin/config/ConfigFile.h"

#include <stdexcept>
#include <string_view>

#include "plugin/config/RegularFile.h"
#include "plugin/engine/Unicode.h"

using nlohmann::json;

namespace {

const json EmptyList = json::array();

// The path the engine is asked to load for one element of "Footlist".
std::u16string FoodPath(const json& element) {
  auto reference = element.get<std::string>();
  auto pieces = SplitString(reference, "'");
  if (pieces.size() < 2) {
    throw std::runtime_error("Footlist element " + QuotedText(reference, false) +
                             " is not of the form Type'Path'");
  }
  std::u16string path;
  if (!Unicode::AppendUtf16(pieces[1] + "_C", path)) {
    throw std::runtime_error("Footlist element " + QuotedText(reference, true) +
                             " is not valid UTF-8");
  }
  return path;
}

// One setting of the species an iteration over "Dinolist" stands at, as a float. operator[] turns
// a null species into an empty object, so both settings then read as null. What fails is the
// species itself when it cannot hold members, the setting otherwise.
float SpeciesSetting(json& section, const json::iterator& species, const char* name,
                     ConfigNotes* notes) {
  json* setting = nullptr;
  try {
    setting = &species.value()[name];
    return setting->get<float>();
  } catch (...) {
    if (notes) {
      notes->fault = ElementPath({ConfigKey::Dinolist}, section, species);
      if (setting) notes->fault->emplace_back(name);
    }
    throw;
  }
}

// A module key is one the module reads where it stands: a section at the top, the walk setting
// in "General", a setting of a species.
bool IsModuleKey(std::span<const KeyStep> path, std::size_t i) {
  auto key = [&](std::size_t at) -> std::string_view {
    const auto* name = std::get_if<std::string>(&path[at]);
    return name ? std::string_view(*name) : std::string_view();
  };
  using namespace ConfigKey;
  switch (i) {
    case 0:
      return key(0) == General || key(0) == Dinolist || key(0) == Footlist;
    case 1:
      return key(0) == General && key(1) == ReplaceCuddleTypeWalk;
    case 2:
      return key(0) == Dinolist &&
             (key(2) == CuddleIntervalTime || key(2) == CuddleIncreasePercent);
    default:
      return false;
  }
}

}  // namespace

// An element as an administrator would find it in the file. Bytes that are not printable ASCII
// are shown as \xNN when the text may not be UTF-8, and kept otherwise.
std::string QuotedText(std::string_view text, bool escape_high) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string quoted = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte == 0x7F || (escape_high && byte >= 0x80)) {
      quoted += "\\x";
      quoted += Hex[byte >> 4];
      quoted += Hex[byte & 0xF];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string KeyPathText(std::span<const KeyStep> path) {
  if (path.empty()) return "(top level)";
  constexpr std::size_t MaxName = 64;
  constexpr std::size_t KeptAtEachEnd = 4;
  std::string text;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i > 0) text += '/';
    if (path.size() > 2 * KeptAtEachEnd + 1 && i == KeptAtEachEnd) {
      text += "...";
      i = path.size() - KeptAtEachEnd - 1;
      continue;
    }
    if (const auto* index = std::get_if<std::size_t>(&path[i])) {
      text += std::to_string(*index);
      continue;
    }
    const std::string& key = std::get<std::string>(path[i]);
    if (IsModuleKey(path, i)) {
      text += key;
    } else if (key.size() <= MaxName) {
      text += QuotedText(key);
    } else {
      // Cut at the start of a character, so that the text stays readable.
      text +=
          QuotedText(std::string_view(key).substr(0, Unicode::Utf8CutPoint(key, MaxName))) + "...";
    }
  }
  return text;
}

KeyPath ElementPath(KeyPath path, const json& container, json::const_iterator at) {
  if (container.is_array())
    path.emplace_back(static_cast<std::size_t>(at - container.cbegin()));
  else if (container.is_object())
    path.emplace_back(at.key());
  return path;
}

std::string ConfigPath(const std::string& server_dir) {
  return server_dir + "/ArkApi/Plugins/Nestkeep/config.json";
}

std::string ReadConfigFile(const std::string& path) {
  std::string text;
  std::uint64_t size = 0;
  switch (ReadRegularFile(path, MaxConfigBytes, text, size)) {
    case FileRead::Read:
      break;
    case FileRead::NotAFile:
      // Absent, unreadable, a directory, a pipe or a device: for the administrator alike a file
      // that is not there.
      throw std::runtime_error(std::string(CantOpenConfig));
    case FileRead::TooLarge:
      throw std::runtime_error(std::string(ConfigTooLarge) + " (" + std::to_string(size) +
                               " bytes)");
  }
  return text;
}

json ParseConfigFile(const std::string& path, ConfigNotes* notes) {
  return ParseConfigText(ReadConfigFile(path), notes);
}

std::vector<std::u16string> BuildFoodList(json& doc, ConfigNotes* notes) {
  // value() on anything but an object raises the library's type error 306; that is the message an
  // administrator gets for a file whose top level is not an object. On an object it would copy the
  // list, so the list itself is read in place.
  if (!doc.is_object()) {
    try {
      doc.value(ConfigKey::Footlist, json());
    } catch (...) {
      if (notes) notes->fault = KeyPath{};
      throw;
    }
  }
  const auto found = doc.find(ConfigKey::Footlist);
  const json& list = found == doc.end() ? EmptyList : *found;
  std::vector<std::u16string> foods;
  for (auto it = list.begin(); it != list.end(); ++it) {
    try {
      foods.push_back(FoodPath(*it));
    } catch (...) {
      if (notes) notes->fault = ElementPath({ConfigKey::Footlist}, list, it);
      throw;
    }
  }
  return foods;
}

SpeciesMap BuildSpeciesTable(json& doc, ConfigNotes* notes) {
  // An absent "Dinolist" reads as null, which holds no members. A lone string, number or boolean
  // iterates as one value; an array as its elements, which then fail at key().
  json& section = doc[ConfigKey::Dinolist];
  SpeciesMap species;
  for (auto it = section.begin(); it != section.end(); ++it) {
    const auto interval = SpeciesSetting(section, it, ConfigKey::CuddleIntervalTime, notes);
    const auto increase = SpeciesSetting(section, it, ConfigKey::CuddleIncreasePercent, notes);
    try {
      species.emplace(it.key(), SpeciesEntry{interval, increase});
    } catch (...) {
      // Elements of an array have no keys: the list itself is not what the module reads.
      if (notes) notes->fault = KeyPath{ConfigKey::Dinolist};
      throw;
    }
  }
  return species;
}

bool BuildReplaceWalk(json& doc, ConfigNotes* notes) {
  json* general = nullptr;
  try {
    general = &doc[ConfigKey::General];
    return general->value(ConfigKey::ReplaceCuddleTypeWalk, true);
  } catch (...) {
    // value() reads members of objects alone; of an object, it failed on the setting's type.
    if (notes) {
      notes->fault = KeyPath{};
      if (general) notes->fault->emplace_back(ConfigKey::General);
      if (general && general->is_object())
        notes->fault->emplace_back(ConfigKey::ReplaceCuddleTypeWalk);
    }
    throw;
  }
}

ConfigContents BuildConfig(json& doc, ConfigNotes* notes) {
  ConfigContents contents;
  contents.foods = BuildFoodList(doc, notes);
  contents.species = BuildSpeciesTable(doc, notes);
  contents.replace_walk = BuildReplaceWalk(doc, notes);
  return contents;
}

std::vector<std::string> SplitString(std::string text, std::string delimiter) {
  std::vector<std::string> pieces;
  // An empty delimiter would match everywhere without advancing; it leaves the text whole.
  if (delimiter.empty()) {
    if (!text.empty()) pieces.push_back(std::move(text));
    return pieces;
  }
  std::size_t start = 0;
  for (auto at = text.find(delimiter); at != std::string::npos; at = text.find(delimiter, start)) {
    pieces.push_back(text.substr(start, at - start));
    start = at + delimiter.size();
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}
