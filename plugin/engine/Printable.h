// Text from a file or a name tag, made safe to print on one line of a terminal or a log: control
// bytes and bytes that are not well-formed UTF-8 show as \xNN, so that nothing a config holds can
// break a line, forge another, move the cursor or garble a terminal or a sink that expects UTF-8.
// Well-formed UTF-8 stays as it is.
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

// What text holds at one place, as it prints: a whole character of `length` bytes, or one byte
// that shows as an escape.
struct PrintablePiece {
  std::size_t length;
  bool escaped;

  std::size_t Shown() const { return escaped ? 4 : length; }
};

inline PrintablePiece NextPrintablePiece(std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x20 || byte == 0x7F) return {1, true};
  if (byte < 0x80) return {1, false};
  const std::size_t length = Unicode::DecodeUtf8(text, i).length;
  return length ? PrintablePiece{length, false} : PrintablePiece{1, true};
}

inline void AppendPrintablePiece(std::string& out, std::string_view text, std::size_t i,
                                 PrintablePiece piece) {
  if (piece.escaped)
    AppendHexByte(out, static_cast<unsigned char>(text[i]));
  else
    out.append(text.substr(i, piece.length));
}

inline std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const PrintablePiece piece = NextPrintablePiece(text, i);
    AppendPrintablePiece(out, text, i, piece);
    i += piece.length;
  }
  return out;
}

// Printable text of at most about max_bytes: longer text is cut at a character and ends in "...".
inline std::string ShortPrintableText(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return PrintableText(text);
  return PrintableText(text.substr(0, Unicode::Utf8CutPoint(text, max_bytes))) + "...";
}
