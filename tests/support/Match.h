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

// Whether some part of text matches pattern.
inline ::testing::AssertionResult HasMatch(const std::string& text, const std::string& pattern) {
  if (std::regex_search(text, std::regex(pattern))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "nothing in \"" << text << "\" matches " << pattern;
}
