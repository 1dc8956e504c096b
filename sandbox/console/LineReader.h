// Splits the console's input into lines, whatever pieces the input arrives in. It only sees bytes:
// reading them is the platform's part.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Console {

// The longest line that runs, its line feed not counted.
inline constexpr std::size_t MaxLineBytes = std::size_t{1} << 20;

// A line to run, or, in place of a longer line, the error to print.
struct InputLine {
  std::string text;
  bool too_long = false;
};

// Holds at most MaxLineBytes of a line, and looks at each byte of input once.
class LineReader {
 public:
  // The lines that these bytes complete, without their line feeds, nor a UTF-8 byte-order mark in
  // front.
  std::vector<InputLine> Feed(std::string_view bytes);
  // At the end of the input: its last line, when that has no line feed.
  std::optional<InputLine> Finish();

 private:
  void Take(std::string_view part);
  InputLine Complete();

  std::string pending_;     // the line so far, while it is short enough to run
  std::size_t length_ = 0;  // the line's length so far, counted on once it is too long
};

}  // namespace Console
