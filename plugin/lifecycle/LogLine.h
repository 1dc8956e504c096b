// The module's log lines: their pattern and their bound. A failed read can quote what it stopped
// in (a string that never closes, a food path of megabytes), and every line goes to every sink of
// the host.
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

// The text as the module logs it: whole when short enough, otherwise cut at a character boundary
// and ended with a mark that says so and how long it was.
inline std::string CutLogText(std::string_view text) {
  if (text.size() <= MaxLogText) return std::string(text);
  const std::string mark = "... (cut, " + std::to_string(text.size()) + " bytes in all)";
  const std::size_t keep = Unicode::Utf8CutPoint(text, MaxLogText - mark.size());
  return std::string(text.substr(0, keep)) + mark;
}
