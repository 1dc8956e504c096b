// Engine strings over arbitrary input: narrow text to FString and back, and arbitrary 16-bit units
// to UTF-8, which must always be well-formed and keep every unit that is a character.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "plugin/engine/Strings.h"
#include "sandbox/host/Runtime.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "engine strings: %s\n", what);
  std::abort();
}

// Decodes well-formed UTF-8 into UTF-16, failing on anything else.
std::u16string Decode(const std::string& utf8) {
  std::u16string units;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > utf8.size())
      Fail("not UTF-8: bad lead byte or cut short");
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) Fail("not UTF-8: bad continuation byte");
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < Smallest[length] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
      Fail("not UTF-8: overlong, surrogate or out of range");
    if (c >= 0x10000) {
      units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(c);
    }
    i += length;
  }
  return units;
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u < 0xE000; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int64_t blocks = Sandbox::LiveBlocks();

  // Narrow text: every byte up to the first zero becomes one unit, non-ASCII a question mark.
  std::string narrow(reinterpret_cast<const char*>(data), size);
  narrow.resize(std::strlen(narrow.c_str()));
  {
    FString s(narrow.c_str());
    if (narrow.empty() != (s.data == nullptr)) Fail("empty text and no buffer go together");
    if (!narrow.empty()) {
      if (s.count != static_cast<std::int32_t>(narrow.size() + 1) || s.capacity < s.count)
        Fail("count and capacity");
      std::string expected = narrow;
      for (char& c : expected)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
      if (FStringToUtf8(&s) != expected) Fail("narrow text read back");
    }
  }

  // Wide text: units up to the first zero.
  std::u16string wide(size / 2, u'\0');
  std::memcpy(wide.data(), data, wide.size() * 2);
  wide.resize(std::char_traits<char16_t>::length(wide.c_str()));
  {
    FString s(wide.c_str());
    std::u16string expected;
    for (std::size_t i = 0; i < wide.size(); ++i) {
      if (IsHigh(wide[i]) && i + 1 < wide.size() && IsLow(wide[i + 1])) {
        expected += wide[i];
        expected += wide[++i];
      } else {
        expected += IsHigh(wide[i]) || IsLow(wide[i]) ? u'\uFFFD' : wide[i];
      }
    }
    if (Decode(FStringToUtf8(&s)) != expected) Fail("wide text read back");
  }

  if (Sandbox::LiveBlocks() != blocks) Fail("an engine block was left behind");
  return 0;
}
