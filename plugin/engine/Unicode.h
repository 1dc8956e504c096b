// UTF-8 and UTF-16, between narrow text and the engine's 16-bit units, and file paths as UTF-8
// text. Pure functions, shared by the module, nestkeep-check and the sandbox.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace Unicode {

inline void AppendUtf8(std::string& out, char32_t c) {
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

inline bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u < 0xDC00; }
inline bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u < 0xE000; }

// A surrogate pair becomes one code point; half a pair is no character and becomes U+FFFD.
inline std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  // Name tags and paths are ASCII as a rule; that part is copied without a test per unit.
  std::size_t i = 0;
  while (i < units.size() && units[i] < 0x80) ++i;
  out.resize(i);
  for (std::size_t k = 0; k < i; ++k) out[k] = static_cast<char>(units[k]);
  for (; i < units.size(); ++i) {
    char32_t c = units[i];
    if (IsHighSurrogate(c) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(units[++i]) - 0xDC00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

// The length in bytes of what Utf16ToUtf8 makes of units, without making it.
inline std::size_t Utf8Length(std::u16string_view units) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (IsHighSurrogate(u) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      length += 4;
      ++i;
    } else {
      length += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;  // a lone surrogate becomes U+FFFD
    }
  }
  return length;
}

// One UTF-8 sequence: its code point and its length in bytes. Bytes that do not start a
// well-formed sequence give U+FFFD and length 0, so that each caller decides what ill-formed text
// means to it: the module refuses it, the game's names carry on with a replacement character.
struct Utf8Sequence {
  char32_t code;
  std::size_t length;
};

inline Utf8Sequence DecodeUtf8(std::string_view text, std::size_t i) {
  constexpr Utf8Sequence IllFormed{0xFFFD, 0};
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length;
  char32_t code, least;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return IllFormed;
  }
  if (text.size() - i < length) return IllFormed;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return IllFormed;
    code = (code << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogate halves and values past the last code point are not UTF-8.
  if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return IllFormed;
  return {code, length};
}

inline void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

// Appends the UTF-16 form of UTF-8 text; false when the text is not well-formed UTF-8.
inline bool AppendUtf16(std::string_view text, std::u16string& out) {
  for (std::size_t i = 0; i < text.size();) {
    const Utf8Sequence sequence = DecodeUtf8(text, i);
    if (sequence.length == 0) return false;
    AppendUtf16(out, sequence.code);
    i += sequence.length;
  }
  return true;
}

// Where to cut text at or before at so that no UTF-8 sequence is split: back over the continuation
// bytes there, at most three, as no sequence has more.
inline std::size_t Utf8CutPoint(std::string_view text, std::size_t at) {
  auto continues = [&](std::size_t i) {
    return i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
  };
  for (int back = 0; back < 3 && at > 0 && continues(at); ++back) --at;
  return at;
}

// A file's path from UTF-8 text, and a path as UTF-8 text. Text inside the programs and the module
// is UTF-8; a path made from narrow text would go through the system's narrow code page on
// Windows, which holds few of the world's letters (no 日本語 in a Western one).
inline std::filesystem::path Utf8Path(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string PathUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
// A path given as UTF-8 text as the platform shows it: with "\" between its parts on Windows.
inline std::string ShownPath(std::string_view text) {
  return PathUtf8(Utf8Path(text).make_preferred());
}

}  // namespace Unicode
