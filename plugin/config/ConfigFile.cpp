// Reading config.json into a new configuration, apart from the running one. Nothing here reaches
// the host, so nestkeep-check runs exactly this code.
//
// The JSON library reports most failures itself; its exception texts are what an administrator
// sees in the log, so the reading below keeps to the plain library calls that raise them.
#include "plugin/config/ConfigFile.h"

#include <map>
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

// Builds a document from the parser's events where the first occurrence of a key in an object
// counts: the library's own builder keeps the last one. A later occurrence is dropped together
// with everything nested in it.
struct FirstKeyWins {
  json& root;
  ConfigNotes* notes;

  struct Frame {
    json* container;
    // The keys of this object given more than once, each with its entry in notes.
    std::map<std::string, std::size_t, std::less<>> repeats;
    // For notes, which tell where a repeat is in the text: the container's place in the order
    // containers open there, and the keys of this object read so far.
    std::size_t ordinal;
    std::size_t members;
  };
  std::vector<Frame> frames;
  // For notes: the path of the innermost container, one step for each frame below the document.
  KeyPath path;

  std::string next_key;         // the key of an object member whose value comes next
  json* next_member = nullptr;  // where that value goes, made when its key was read
  bool skip_next = false;       // the value that comes next belongs to a repeated key
  std::size_t skip_depth = 0;   // containers open inside a dropped value
  std::size_t opened = 0;       // containers opened so far, dropped ones included

  bool Skipping() const { return skip_depth > 0; }

  // The path of a member of the innermost container, as a note shows it.
  std::string NotePath(const std::string& member) {
    path.emplace_back(member);
    std::string text = KeyPathText(path);
    path.pop_back();
    return text;
  }

  // Puts a value where the parser stands: the document itself, the next element of an array, or
  // the member of the key just read.
  json& Place(json&& value) {
    if (frames.empty()) {
      root = std::move(value);
      return root;
    }
    json& parent = *frames.back().container;
    if (parent.is_array()) {
      auto& elements = parent.get_ref<json::array_t&>();
      elements.push_back(std::move(value));
      return elements.back();
    }
    *next_member = std::move(value);
    return *next_member;
  }

  // True when the value that starts now is dropped.
  bool Drop() {
    if (Skipping()) return true;
    const bool drop = skip_next;
    skip_next = false;
    return drop;
  }

  bool Scalar(json&& value) {
    if (!Drop()) Place(std::move(value));
    return true;
  }

  bool Open(json&& empty) {
    // Every later step may walk the document recursively; a bound here keeps that walk short. The
    // containers open are the kept ones and those inside a dropped value.
    if (frames.size() + skip_depth >= static_cast<std::size_t>(MaxConfigDepth))
      throw std::runtime_error(std::string(ConfigTooDeep));
    const std::size_t ordinal = opened++;
    if (Drop()) {
      ++skip_depth;
      return true;
    }
    if (notes && !frames.empty()) {
      const json& parent = *frames.back().container;
      if (parent.is_array())
        path.emplace_back(parent.size());
      else
        path.emplace_back(std::move(next_key));
    }
    frames.push_back({&Place(std::move(empty)), {}, ordinal, 0});
    return true;
  }

  bool Close() {
    if (Skipping()) {
      --skip_depth;
      return true;
    }
    frames.pop_back();
    if (notes && !frames.empty()) path.pop_back();
    return true;
  }

  // The parser's interface.
  bool null() { return Scalar(json(nullptr)); }
  bool boolean(bool value) { return Scalar(json(value)); }
  bool number_integer(json::number_integer_t value) { return Scalar(json(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return Scalar(json(value)); }
  bool number_float(json::number_float_t value, const json::string_t&) {
    return Scalar(json(value));
  }
  bool string(json::string_t& value) { return Scalar(json(std::move(value))); }
  bool binary(json::binary_t& value) { return Scalar(json(std::move(value))); }
  bool start_object(std::size_t) { return Open(json::object()); }
  bool end_object() { return Close(); }
  bool start_array(std::size_t) { return Open(json::array()); }
  bool end_array() { return Close(); }

  bool key(json::string_t& name) {
    if (Skipping()) return true;
    Frame& frame = frames.back();
    const std::size_t ordinal_in_object = frame.members++;
    auto& members = frame.container->get_ref<json::object_t&>();
    // try_emplace leaves the key alone when it is there already, so name still holds it below.
    auto [member, added] = notes ? members.try_emplace(name) : members.try_emplace(std::move(name));
    if (added) {
      next_member = &member->second;
      if (notes) next_key = std::move(name);
      return true;
    }
    skip_next = true;
    if (notes) {
      auto seen = frame.repeats.find(name);
      if (seen != frame.repeats.end()) {
        ++notes->repeated_keys[seen->second].times;
      } else {
        frame.repeats.emplace(name, notes->repeated_keys.size());
        notes->repeated_keys.push_back({NotePath(name), 2, frame.ordinal, ordinal_in_object});
      }
    }
    return true;
  }

  [[noreturn]] bool parse_error(std::size_t position, const std::string&,
                                const nlohmann::detail::exception& error) {
    if (notes) notes->parse_stopped_after = position;
    // The parser hands its parse errors and its number overflows here; both go on as the
    // library would have thrown them.
    if (auto* parse = dynamic_cast<const json::parse_error*>(&error)) throw *parse;
    if (auto* range = dynamic_cast<const json::out_of_range*>(&error)) throw *range;
    throw std::runtime_error(error.what());
  }
};

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
      throw std::runtime_error("config.json is larger than 64 MiB (" + std::to_string(size) +
                               " bytes)");
  }
  return text;
}

json ParseConfigFile(const std::string& path, ConfigNotes* notes) {
  return ParseConfigText(ReadConfigFile(path), notes);
}

json ParseConfigText(std::string_view text, ConfigNotes* notes) {
  json doc;
  FirstKeyWins builder{doc, notes, {}, {}, {}, nullptr, false, 0, 0};
  // Not strict: the parser stops after the first complete value and leaves the rest unread. It
  // skips a leading byte-order mark itself.
  json::sax_parse(text.begin(), text.end(), &builder, json::input_format_t::json, false);
  return doc;
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
