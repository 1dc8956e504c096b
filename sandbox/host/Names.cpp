// The name registry and the name table.
#include <cstdio>
#include <cstdlib>
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

using Registry = std::unordered_map<std::string, Member, NameHash, std::equal_to<>>;

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
  auto it = Members().find(name);
  if (it == Members().end() || it->second.kind != kind) UnknownName(name, what);
  return it->second;
}

void Add(std::string_view name, const Member& member) {
  auto [it, added] = Members().try_emplace(std::string(name), member);
  if (!added) {
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
