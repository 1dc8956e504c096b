// Engine strings: FString built and destroyed through the engine's allocator, read back as UTF-8,
// and filled from an FName by the game.
#include "plugin/engine/Strings.h"

#include <cstring>

#include "plugin/engine/Unicode.h"
#include "plugin/host/Host.h"

namespace {

void* EngineMalloc(std::uint64_t size) {
  return GetFunction<GameFunctions::Malloc>(GameNames::Malloc)(size, 0);
}

void* EngineRealloc(void* block, std::uint64_t size) {
  return GetFunction<GameFunctions::Realloc>(GameNames::Realloc)(block, size);
}

}  // namespace

std::int32_t GrowthCapacity(std::int32_t count, std::int32_t capacity) {
  if (capacity == 0 && static_cast<std::uint32_t>(count) <= 4) return 4;
  const std::int64_t three_n = std::int64_t{3} * count;
  // The sum wraps in 32 bits, as the engine's does; a wrapped sum falls back to the largest.
  const auto grown = static_cast<std::int32_t>(static_cast<std::uint32_t>(count) +
                                               static_cast<std::uint32_t>(three_n / 8) + 16u);
  return count > grown ? 0x7FFFFFFF : grown;
}

void GrowFString(FString& s) {
  const std::int32_t capacity = GrowthCapacity(s.count, s.capacity);
  s.capacity = capacity;
  if (!s.data && capacity == 0) return;
  const auto bytes =
      static_cast<std::uint64_t>(static_cast<std::uint32_t>(capacity)) * sizeof(EngineChar);
  s.data = static_cast<EngineChar*>(s.data ? EngineRealloc(s.data, bytes) : EngineMalloc(bytes));
}

// Narrow text is taken one byte to one unit; bytes outside ASCII cannot be told apart without
// knowing their encoding, so each becomes a question mark.
FString::FString(const char* narrow) {
  if (!narrow || !*narrow) return;
  count = static_cast<std::int32_t>(std::strlen(narrow) + 1);
  if (count <= 0) return;
  GrowFString(*this);
  for (std::int32_t i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(narrow[i]);
    data[i] = byte < 0x80 ? byte : u'?';
  }
}

FString::FString(const EngineChar* wide) {
  if (!wide || !*wide) return;
  count = static_cast<std::int32_t>(std::char_traits<EngineChar>::length(wide) + 1);
  if (count <= 0) return;
  GrowFString(*this);
  std::memcpy(data, wide, static_cast<std::size_t>(count) * sizeof(EngineChar));
}

FString::~FString() {
  if (data) GetFunction<GameFunctions::Free>(GameNames::Free)(data);
}

// Species keys in config.json are real UTF-8, so a name tag must come out as real UTF-8 too for the
// two to match: a surrogate pair is joined into one code point, and half a pair is no character.
std::string FStringToUtf8(const FString* s) {
  if (!s || !s->data) return std::string();
  return Unicode::Utf16ToUtf8(std::u16string_view(s->data));
}

void FNameToFString(const FName* name, FString* out) {
  GetFunction<GameFunctions::NameToString>(GameNames::NameToString)(name, out);
}
