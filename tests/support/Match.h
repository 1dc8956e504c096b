// Regular expressions in tests, in ECMAScript syntax on every platform: GoogleTest's own are a much
// smaller language on Windows.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <string>

// Whether the whole of text matches pattern.
inline ::testing::AssertionResult FullMatch(const std::string& text, const std::string& pattern) {
  if (std::regex_match(text, std::regex(pattern))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << text << "\" does not match " << pattern;
}

// The message of a log line "DD/MM/YY HH:MM [Logger][level] message" with the given tag; for any
// other line a marker that holds it, so that a failed comparison shows the line.
inline std::string LogMessage(const std::string& line,
                              const std::string& tag = "[Nestkeep][error]") {
  static const std::regex stamp(R"(\d\d/\d\d/\d\d \d\d:\d\d )");
  const std::size_t at = 15;  // past the stamp
  if (line.size() > at && std::regex_match(line.begin(), line.begin() + at, stamp) &&
      line.compare(at, tag.size() + 1, tag + " ") == 0)
    return line.substr(at + tag.size() + 1);
  return "<not a " + tag + " line: " + line + ">";
}

// Whether some part of text matches pattern.
inline ::testing::AssertionResult HasMatch(const std::string& text, const std::string& pattern) {
  if (std::regex_search(text, std::regex(pattern))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "nothing in \"" << text << "\" matches " << pattern;
}
