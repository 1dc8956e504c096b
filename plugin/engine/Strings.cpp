// Reading engine strings back as UTF-8.
#include "plugin/engine/Strings.h"
#include "plugin/host/Host.h"

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u < 0xE000; }

}  // namespace

// Species keys in config.json are real UTF-8, so a name tag must come out as real UTF-8 too for the
// two to match: a surrogate pair is joined into one code point, and half a pair is no character.
std::string FStringToUtf8(const FString* s) {
  std::string out;
  if (!s || !s->data) return out;
  for (const TCHAR* p = s->data; *p; ++p) {
    char32_t c = *p;
    if (IsHighSurrogate(c) && IsLowSurrogate(p[1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(p[1]) - 0xDC00);
      ++p;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

void FNameToFString(const FName* name, FString* out) {
  GetFunction<GameFunctions::NameToString>(GameNames::NameToString)(name, out);
}
