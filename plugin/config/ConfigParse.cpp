// Parsing config.json into the document the build steps read, and nothing more. A file holds what
// it likes under keys the module never reads, and the module reads some values only for their
// type, to name it when it is the wrong one; the document keeps of those an empty value of the
// same type, so that a file costs memory for what the module uses and no more. The bounds on the
// species and the foods keep that within reach of any server, whatever the file.
#include <map>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

#include "plugin/config/ConfigFile.h"

using nlohmann::json;

namespace {

// What the module reads of an object or array, by where it stands.
enum class Role {
  Top,            // the document: its three sections
  General,        // the walk setting
  Dinolist,       // species by name
  DinolistArray,  // "Dinolist" written as an array: its first element is read as a species, and
                  // then the read fails, as an array's elements have no names
  Species,        // the two settings of one species
  Foods,          // "Footlist" as an array or an object: each element a food
  Unread,         // nothing inside it
};

// What the module reads of a value, by where it stands. A setting is read for its value when it is
// no string, and for its type otherwise; so is a section that is neither an object nor an array.
enum class Slot { Document, General, Dinolist, Footlist, Species, Setting, Food, Unread };

Slot MemberSlot(Role role, std::string_view key) {
  using namespace ConfigKey;
  switch (role) {
    case Role::Top:
      if (key == General) return Slot::General;
      if (key == Dinolist) return Slot::Dinolist;
      if (key == Footlist) return Slot::Footlist;
      return Slot::Unread;
    case Role::General:
      return key == ReplaceCuddleTypeWalk ? Slot::Setting : Slot::Unread;
    case Role::Dinolist:
      return Slot::Species;
    case Role::Species:
      return key == CuddleIntervalTime || key == CuddleIncreasePercent ? Slot::Setting
                                                                       : Slot::Unread;
    case Role::Foods:
      return Slot::Food;
    default:
      return Slot::Unread;
  }
}

Slot ElementSlot(Role role, std::size_t index) {
  if (role == Role::Foods) return Slot::Food;
  if (role == Role::DinolistArray && index == 0) return Slot::Species;
  return Slot::Unread;
}

// What an object or an array in a slot is to the module; Unread when only its type counts.
Role ContainerRole(Slot slot, bool object) {
  switch (slot) {
    case Slot::Document:
      return object ? Role::Top : Role::Unread;
    case Slot::General:
      return object ? Role::General : Role::Unread;
    case Slot::Dinolist:
      return object ? Role::Dinolist : Role::DinolistArray;
    case Slot::Footlist:
      return Role::Foods;
    case Slot::Species:
      return object ? Role::Species : Role::Unread;
    default:
      return Role::Unread;
  }
}

// Builds the document from the parser's events. Where an object holds the same key more than once,
// the first occurrence counts (the library's own builder keeps the last one): a later one is
// dropped with everything nested in it. Of a value the module does not read, nothing is kept.
struct ConfigBuilder {
  json& root;
  ConfigNotes* notes;

  struct Frame {
    json* container;  // null when nothing inside is read
    Role role;
    bool object;
    // For notes, which tell where a repeat is in the text: the container's place in the order
    // containers open there.
    std::size_t ordinal;
    std::size_t members = 0;  // keys read so far, or elements begun
    // For notes: every key of this object, and those given more than once, each with its entry
    // in notes. Without notes, the document's own members tell a repeat of a key it keeps.
    std::set<std::string, std::less<>> keys = {};
    std::map<std::string, std::size_t, std::less<>> repeats = {};
  };
  // The containers open, each with a frame; without notes, those whose insides are not read
  // have none and are only counted.
  std::vector<Frame> frames = {};
  std::size_t skip_depth = 0;
  // For notes: the path of the innermost container, one step for each frame below the document.
  KeyPath path = {};

  Slot next_slot = Slot::Document;  // of an object member whose value comes next
  json* next_member = nullptr;      // where that value goes, made when its key was read
  std::string next_key = {};        // that key, for notes
  bool skip_next = false;           // the value that comes next belongs to a repeated key
  std::size_t opened = 0;           // containers opened so far, dropped ones included
  std::size_t species = 0;
  std::size_t foods = 0;

  [[noreturn]] void Refuse(std::string_view message, KeyStep step) {
    if (notes) {
      notes->fault = path;
      notes->fault->push_back(std::move(step));
    }
    throw std::runtime_error(std::string(message));
  }

  // The slot of the value that starts now; false when it goes with a repeated key.
  bool Begin(Slot& slot) {
    if (skip_depth > 0 || std::exchange(skip_next, false)) return false;
    if (frames.empty()) {
      slot = Slot::Document;
      return true;
    }
    Frame& parent = frames.back();
    const std::size_t index = parent.object ? 0 : parent.members++;
    slot = parent.object ? next_slot : ElementSlot(parent.role, index);
    if (slot == Slot::Food && ++foods > MaxFoods)
      Refuse(TooManyFoods, parent.object ? KeyStep(next_key) : KeyStep(index));
    return true;
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

  bool Scalar(json&& value) {
    Slot slot;
    if (Begin(slot) && slot != Slot::Unread) Place(std::move(value));
    return true;
  }

  bool Open(bool object) {
    // Every later step may walk the document recursively; a bound here keeps that walk short. It
    // counts every container open, kept or not.
    if (frames.size() + skip_depth >= static_cast<std::size_t>(MaxConfigDepth))
      throw std::runtime_error(std::string(ConfigTooDeep));
    const std::size_t ordinal = opened++;
    Slot slot;
    if (!Begin(slot)) {
      ++skip_depth;
      return true;
    }
    const Role role = ContainerRole(slot, object);
    json* container = nullptr;
    if (slot != Slot::Unread) {
      json& placed = Place(object ? json::object() : json::array());
      if (role != Role::Unread) container = &placed;
    }
    if (!notes && !container) {
      ++skip_depth;
      return true;
    }
    if (notes && !frames.empty()) {
      const Frame& parent = frames.back();
      if (parent.object)
        path.emplace_back(std::move(next_key));
      else
        path.emplace_back(parent.members - 1);
    }
    frames.push_back({container, role, object, ordinal});
    return true;
  }

  bool Close() {
    if (skip_depth > 0) {
      --skip_depth;
      return true;
    }
    frames.pop_back();
    if (notes && !frames.empty()) path.pop_back();
    return true;
  }

  // The path of a member of the innermost container, as a note shows it.
  std::string NotePath(const std::string& member) {
    path.emplace_back(member);
    std::string text = KeyPathText(path);
    path.pop_back();
    return text;
  }

  // A key read again in the same object: noted, and its value dropped.
  void Repeat(Frame& frame, const std::string& name, std::size_t ordinal_in_object) {
    skip_next = true;
    if (!notes) return;
    auto seen = frame.repeats.find(name);
    if (seen != frame.repeats.end()) {
      ++notes->repeated_keys[seen->second].times;
    } else {
      frame.repeats.emplace(name, notes->repeated_keys.size());
      notes->repeated_keys.push_back({NotePath(name), 2, frame.ordinal, ordinal_in_object});
    }
  }

  // The parser's interface.
  bool null() { return Scalar(json(nullptr)); }
  bool boolean(bool value) { return Scalar(json(value)); }
  bool number_integer(json::number_integer_t value) { return Scalar(json(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return Scalar(json(value)); }
  bool number_float(json::number_float_t value, const json::string_t&) {
    return Scalar(json(value));
  }
  bool binary(json::binary_t& value) { return Scalar(json(std::move(value))); }
  bool start_object(std::size_t) { return Open(true); }
  bool end_object() { return Close(); }
  bool start_array(std::size_t) { return Open(false); }
  bool end_array() { return Close(); }

  bool string(json::string_t& value) {
    Slot slot;
    if (!Begin(slot) || slot == Slot::Unread) return true;
    if (slot == Slot::Food || slot == Slot::Footlist) {
      if (value.size() > MaxFoodBytes) {
        const Frame& parent = frames.back();
        Refuse(FoodTooLong, parent.object ? KeyStep(next_key) : KeyStep(parent.members - 1));
      }
      Place(json(std::move(value)));
    } else if (slot == Slot::Document) {
      Place(json(std::move(value)));
    } else if (notes) {
      // The module reads it for its type alone; nestkeep-check quotes it ("0.05" in quotes).
      Place(json(std::move(value)));
    } else {
      Place(json(json::value_t::string));
    }
    return true;
  }

  bool key(json::string_t& name) {
    if (skip_depth > 0) return true;
    Frame& frame = frames.back();
    const std::size_t ordinal_in_object = frame.members++;
    const Slot slot = MemberSlot(frame.role, name);
    if (slot == Slot::Species && name.size() > MaxSpeciesNameBytes)
      Refuse(SpeciesNameTooLong, std::move(name));
    if (notes && !frame.keys.insert(name).second) {
      Repeat(frame, name, ordinal_in_object);
      return true;
    }
    next_slot = slot;
    if (slot != Slot::Unread) {
      // try_emplace leaves the key alone when it is there already, so name still holds it below.
      auto& members = frame.container->get_ref<json::object_t&>();
      auto [member, added] =
          notes ? members.try_emplace(name) : members.try_emplace(std::move(name));
      if (!added) {
        Repeat(frame, name, ordinal_in_object);
        return true;
      }
      next_member = &member->second;
      if (slot == Slot::Species && ++species > MaxSpecies) Refuse(TooManySpecies, member->first);
    }
    if (notes) next_key = std::move(name);
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

json ParseConfigText(std::string_view text, ConfigNotes* notes) {
  json doc;
  ConfigBuilder builder{doc, notes};
  // Not strict: the parser stops after the first complete value and leaves the rest unread. It
  // skips a leading byte-order mark itself.
  json::sax_parse(text.begin(), text.end(), &builder, json::input_format_t::json, false);
  return doc;
}
