// Text from a file or a name tag, made safe to print on one line of a terminal or a log: control
// characters (C0, DEL and C1, which terminals also obey), the line and paragraph separators, and
// bytes that are not well-formed UTF-8 show as \xNN, byte by byte, so that nothing a config holds
// can break a line, forge another, move the cursor or garble a terminal or a sink that expects
// UTF-8. Other well-formed UTF-8 stays as it is.
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

inline void AppendHexBytes(std::string& out, std::string_view bytes) {
  for (char c : bytes) AppendHexByte(out, static_cast<unsigned char>(c));
}

// What text holds at one place, as it prints: a whole character of `length` bytes, as it is or
// with each of its bytes an escape, or one byte of ill-formed UTF-8 as an escape.
struct PrintablePiece {
  std::size_t length;
  bool escaped;

  std::size_t Shown() const { return escaped ? 4 * length : length; }
};

inline PrintablePiece NextPrintablePiece(std::string_view text, std::size_t i) {
  const auto byte = static_cast<unsigned char>(text[i]);
  if (byte < 0x20 || byte == 0x7F) return {1, true};
  if (byte < 0x80) return {1, false};
  const Unicode::Utf8Sequence sequence = Unicode::DecodeUtf8(text, i);
  if (sequence.length == 0) return {1, true};
  const char32_t code = sequence.code;
  const bool control = code <= 0x9F || code == 0x2028 || code == 0x2029;
  return {sequence.length, control};
}

inline void AppendPrintablePiece(std::string& out, std::string_view text, std::size_t i,
                                 PrintablePiece piece) {
  if (piece.escaped)
    AppendHexBytes(out, text.substr(i, piece.length));
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
