// The module's log lines: their pattern, their bound and what they show. A failed read can quote
// what it stopped in (a string that never closes, a food reference), a food that did not load is
// named, and every line goes to every sink of the host.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "plugin/engine/Printable.h"

// The form of the module's log lines: date, time, "[Nestkeep][error]" and the message, in local
// time.
inline constexpr const char* LogPattern = "%D %R [%n][%l] %v";

// The longest message the module logs: with the date, time, name and level in front, a line stays
// within 1 KiB.
inline constexpr std::size_t MaxLogText = 1024 - 64;

// The text as the module logs it, printable as PrintableText makes it: no message can break a
// line, forge another, move a terminal's cursor or garble a sink. A text longer than a line holds
// is cut after a whole character or escape and ended with a mark that says how long the message
// was: whole bytes, of which text may be only the start, so that a long message need not be built
// whole. Only what fits is looked at.
inline std::string CutLogText(std::string_view text, std::size_t whole = 0) {
  if (whole < text.size()) whole = text.size();
  const std::string mark = "... (cut, " + std::to_string(whole) + " bytes in all)";
  std::string out;
  std::size_t room_for_mark = 0;  // out's length at the last piece that leaves room for the mark
  std::size_t i = 0;
  while (i < text.size()) {
    const PrintablePiece piece = NextPrintablePiece(text, i);
    if (out.size() + piece.Shown() > MaxLogText) break;
    AppendPrintablePiece(out, text, i, piece);
    i += piece.length;
    if (out.size() + mark.size() <= MaxLogText) room_for_mark = out.size();
  }
  if (i == text.size() && whole == text.size()) return out;
  out.resize(room_for_mark);
  return out + mark;
}
