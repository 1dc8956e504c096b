// The name registry and the name table.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "sandbox/host/Runtime.h"

namespace {

struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept {
    return std::hash<std::string_view>{}(s);
  }
};

struct Member {
  enum Kind { Field, Bit, Function } kind;
  std::size_t offset;  // field, or the flag's 32-bit word
  std::uint32_t bit_position;
  std::uint32_t num_bits;
  void* address;  // function
};

// Every call of a detour resolves several names, so a lookup must be cheap: open addressing in a
// power-of-two table (a mask, not a division, picks the slot), filled once at start-up. The slot
// comes from the name's length and its first and last eight bytes, which tell the game's
// "Class.Member" names apart well enough; the full comparison settles the rest.
std::size_t SlotHash(std::string_view name) {
  std::uint64_t head = 0, tail = 0;
  const std::size_t n = std::min<std::size_t>(8, name.size());
  if (n > 0) {
    std::memcpy(&head, name.data(), n);
    std::memcpy(&tail, name.data() + name.size() - n, n);
  }
  const std::uint64_t h =
      (head * 0x9E3779B97F4A7C15ull) ^ (tail * 0xC2B2AE3D27D4EB4Full) ^ name.size();
  return static_cast<std::size_t>(h ^ (h >> 29));
}

class Registry {
 public:
  const Member* Find(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    for (std::size_t i = SlotHash(name) & Mask();; i = (i + 1) & Mask()) {
      const Slot& slot = slots_[i];
      if (!slot.used) return nullptr;
      if (slot.name == name) return &slot.member;
    }
  }

  bool Add(std::string_view name, const Member& member) {
    if (Find(name)) return false;
    if (2 * (count_ + 1) > slots_.size()) Grow();
    Place(Slot{std::string(name), member, true});
    ++count_;
    return true;
  }

 private:
  struct Slot {
    std::string name;
    Member member{};
    bool used = false;
  };

  std::size_t Mask() const { return slots_.size() - 1; }

  void Place(Slot&& slot) {
    std::size_t i = SlotHash(slot.name) & Mask();
    while (slots_[i].used) i = (i + 1) & Mask();
    slots_[i] = std::move(slot);
  }

  void Grow() {
    std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
    old.swap(slots_);
    for (Slot& slot : old)
      if (slot.used) Place(std::move(slot));
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

Registry& Members() {
  static Registry members;
  return members;
}

// A name the game does not have is a fault of the build, never of the input: stop at once.
[[noreturn]] void UnknownName(std::string_view name, const char* what) {
  std::fprintf(stderr, "nestkeep-sandbox: the game has no %s named \"%.*s\"\n", what,
               static_cast<int>(name.size()), name.data());
  std::abort();
}

const Member& Find(std::string_view name, Member::Kind kind, const char* what) {
  const Member* member = Members().Find(name);
  if (!member || member->kind != kind) UnknownName(name, what);
  return *member;
}

void Add(std::string_view name, const Member& member) {
  if (!Members().Add(name, member)) {
    std::fprintf(stderr, "nestkeep-sandbox: \"%.*s\" registered twice\n",
                 static_cast<int>(name.size()), name.data());
    std::abort();
  }
}

// The name table: index 0 is the empty name. Like all of the game, it is used on the game's
// thread only.
struct NameTable {
  std::vector<std::string> texts{std::string()};
  std::unordered_map<std::string, std::int32_t, NameHash, std::equal_to<>> index{{"", 0}};
};

NameTable& Names() {
  static NameTable table;
  return table;
}

std::string_view TextOf(FName name) {
  const NameTable& table = Names();
  if (name.ComparisonIndex < 0 ||
      static_cast<std::size_t>(name.ComparisonIndex) >= table.texts.size())
    return {};
  return table.texts[static_cast<std::size_t>(name.ComparisonIndex)];
}

FString* NameToString(const FName* name, FString* out) {
  Sandbox::AssignUtf8(out, TextOf(*name));
  return out;
}

const bool registered = [] {
  Sandbox::RegisterFunction(GameNames::NameToString, reinterpret_cast<void*>(&NameToString));
  return true;
}();

}  // namespace

namespace Sandbox {

void RegisterField(std::string_view name, std::size_t offset) {
  Add(name, {Member::Field, offset, 0, 0, nullptr});
}

void RegisterBitField(std::string_view name, std::size_t word_offset, std::uint32_t bit_position,
                      std::uint32_t num_bits) {
  Add(name, {Member::Bit, word_offset, bit_position, num_bits, nullptr});
}

void RegisterFunction(std::string_view name, void* address) {
  Add(name, {Member::Function, 0, 0, 0, address});
}

FName MakeName(std::string_view utf8) {
  NameTable& table = Names();
  auto it = table.index.find(utf8);
  if (it != table.index.end()) return FName{it->second, 0};
  auto index = static_cast<std::int32_t>(table.texts.size());
  table.texts.emplace_back(utf8);
  table.index.emplace(std::string(utf8), index);
  return FName{index, 0};
}

std::string NameText(FName name) { return std::string(TextOf(name)); }

}  // namespace Sandbox

void* GetAddress(const void* object, std::string_view field_name) {
  const Member& field = Find(field_name, Member::Field, "field");
  return const_cast<char*>(static_cast<const char*>(object)) + field.offset;
}

void* GetAddress(std::string_view function_name) {
  return Find(function_name, Member::Function, "function").address;
}

BitField GetBitField(const void* object, std::string_view field_name) {
  const Member& bit = Find(field_name, Member::Bit, "flag bit");
  return BitField{reinterpret_cast<std::uintptr_t>(object) + bit.offset, bit.bit_position,
                  bit.num_bits};
}
