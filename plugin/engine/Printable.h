// Text from a file or a name tag, made safe to print on one line of a terminal or a log: control
// bytes and bytes that are not well-formed UTF-8 show as \xNN, so that nothing a config holds can
// break a line, move the cursor or garble a terminal. Well-formed UTF-8 stays as it is.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "plugin/engine/Unicode.h"

inline void AppendHexByte(std::string& out, unsigned char byte) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  out += "\\x";
  out += Hex[byte >> 4];
  out += Hex[byte & 0xF];
}

inline std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = Unicode::DecodeUtf8(text, i).length;
    if (byte < 0x20 || byte == 0x7F || length == 0) {
      AppendHexByte(out, byte);
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

// Printable text of at most about max_bytes: longer text is cut at a character and ends in "...".
inline std::string ShortPrintableText(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return PrintableText(text);
  return PrintableText(text.substr(0, Unicode::Utf8CutPoint(text, max_bytes))) + "...";
}
