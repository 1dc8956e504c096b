// The module's log lines: their pattern, their bound and what they show. A failed read can quote
// what it stopped in (a string that never closes, a food reference), a food that did not load is
// named, and every line goes to every sink of the host.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "plugin/engine/Unicode.h"

// The form of the module's log lines: date, time, "[Nestkeep][error]" and the message, in local
// time.
inline constexpr const char* LogPattern = "%D %R [%n][%l] %v";

// The longest message the module logs: with the date, time, name and level in front, a line stays
// within 1 KiB.
inline constexpr std::size_t MaxLogText = 1024 - 64;

// The text as the module logs it. A byte below 0x20, 0x7F, and a byte that is not part of a
// well-formed UTF-8 character show as \xNN: no message can break a line, forge another, move a
// terminal's cursor or garble a sink that expects UTF-8. A text longer than a line holds is cut
// after a whole character or escape and ended with a mark that says how long the message was:
// whole bytes, of which text may be only the start, so that a long message need not be built
// whole. Only what fits is looked at.
inline std::string CutLogText(std::string_view text, std::size_t whole = 0) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  if (whole < text.size()) whole = text.size();
  const std::string mark = "... (cut, " + std::to_string(whole) + " bytes in all)";
  std::string out;
  std::size_t room_for_mark = 0;  // out's length at the last piece that leaves room for the mark
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte < 0x20 || byte == 0x7F ? 0
                               : byte < 0x80               ? 1
                                                           : Unicode::DecodeUtf8(text, i).length;
    if (out.size() + (length ? length : 4) > MaxLogText) break;
    if (length) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += "\\x";
      out += Hex[byte >> 4];
      out += Hex[byte & 0xF];
      ++i;
    }
    if (out.size() + mark.size() <= MaxLogText) room_for_mark = out.size();
  }
  if (i == text.size() && whole == text.size()) return out;
  out.resize(room_for_mark);
  return out + mark;
}
