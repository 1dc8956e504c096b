// The game's own handling of engine strings: UTF-8 to and from 16-bit units, and FString built and
// freed through the engine's allocator.
#include <cstring>
#include <string>

#include "plugin/engine/Unicode.h"
#include "sandbox/host/Runtime.h"

namespace Sandbox {

// A name tag must become some text whatever bytes it holds, so each byte that starts no
// well-formed sequence becomes U+FFFD where the module would refuse the whole text.
std::u16string FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const Unicode::Utf8Sequence sequence = Unicode::DecodeUtf8(utf8, i);
    Unicode::AppendUtf16(out, sequence.code);
    i += sequence.length == 0 ? 1 : sequence.length;
  }
  return out;
}

std::string ToUtf8(std::u16string_view units) { return Unicode::Utf16ToUtf8(units); }

std::string ToUtf8(const FString* s) {
  if (!s || !s->data) return std::string();
  return ToUtf8(std::u16string_view(s->data));
}

void AssignUtf8(FString* out, std::string_view utf8) {
  EngineFree(out->data);
  out->data = nullptr;
  out->count = out->capacity = 0;
  if (utf8.empty()) return;
  // Short names, the usual case, need no temporary.
  char16_t local[64];
  std::u16string wide;
  std::u16string_view units;
  bool ascii = utf8.size() < std::size(local);
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    for (std::size_t i = 0; i < utf8.size(); ++i) local[i] = static_cast<char16_t>(utf8[i]);
    units = std::u16string_view(local, utf8.size());
  } else {
    wide = FromUtf8(utf8);
    units = wide;
  }
  auto count = static_cast<std::int32_t>(units.size() + 1);
  out->data = static_cast<EngineChar*>(
      EngineMalloc(static_cast<std::uint64_t>(count) * sizeof(EngineChar), 0));
  std::memcpy(out->data, units.data(), units.size() * sizeof(EngineChar));
  out->data[units.size()] = 0;
  out->count = count;
  out->capacity = count;
}

}  // namespace Sandbox

// The game's own FString: built from UTF-8 or wide text, freed through its allocator.
FString::FString(const char* narrow) {
  if (narrow) Sandbox::AssignUtf8(this, narrow);
}

FString::FString(const EngineChar* wide) {
  if (!wide || !*wide) return;
  std::size_t n = std::char_traits<char16_t>::length(wide);
  count = static_cast<std::int32_t>(n + 1);
  capacity = count;
  data = static_cast<EngineChar*>(Sandbox::EngineMalloc((n + 1) * sizeof(EngineChar), 0));
  std::memcpy(data, wide, (n + 1) * sizeof(EngineChar));
}

FString::~FString() { Sandbox::EngineFree(data); }
