// A walk over a config's text the way the parser reads it: a leading byte-order mark skipped, the
// first value only. The reading code knows no positions (the JSON library's events carry none), so
// the checker walks the same text again to find where values and keys stand. What it walks has
// been read by the parser already, so the walk trusts it and merely stops on anything else.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/config/ConfigFile.h"

// A place as editors count it: lines and columns from 1, columns in bytes. found is false for a
// place that stands in for something the text does not hold (a member that is not there).
struct TextPlace {
  std::size_t line = 1;
  std::size_t column = 1;
  bool found = true;
};

namespace TextWalk {

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The text as the parser reads it, and where the current line starts.
struct Reader {
  std::string_view text;
  std::size_t at = 0;
  std::size_t line = 1;
  std::size_t line_start = 0;

  bool AtEnd() const { return at >= text.size(); }
  char Peek() const { return text[at]; }
  TextPlace Here() const { return {line, at - line_start + 1}; }

  void Step() {
    if (text[at] == '\n') {
      ++line;
      line_start = at + 1;
    }
    ++at;
  }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(text[at])) Step();
  }
  // Past a string that starts here; its text between the quotes, escapes as written. False when
  // the text ends first.
  bool SkipString(std::string_view& raw) {
    Step();
    const std::size_t start = at;
    while (!AtEnd() && text[at] != '"') {
      if (text[at] == '\\' && at + 1 < text.size()) Step();
      Step();
    }
    raw = text.substr(start, at - start);
    if (AtEnd()) return false;
    Step();
    return true;
  }
  // Past a number or a literal.
  void SkipScalar() {
    while (!AtEnd() && !IsBlank(text[at]) && text[at] != ',' && text[at] != ']' && text[at] != '}')
      ++at;
  }
};

// A key as the parser hands it on, escapes resolved: read back by the module's own reading code.
// The walk only meets keys the parser has read; should one not read, it stands as written.
inline std::string DecodeKey(std::string_view raw) {
  if (raw.find('\\') == std::string_view::npos) return std::string(raw);
  try {
    return ParseConfigText("\"" + std::string(raw) + "\"").get<std::string>();
  } catch (const std::exception&) {
    return std::string(raw);
  }
}

// The containers open where the walk stands, from the document down.
struct Frame {
  bool object;
  std::size_t count = 0;   // keys or elements begun
  std::string_view key;    // the last key, as written
  bool in_member = false;  // a key or an element has begun and its value has not ended
};

// Walks the text's first value, telling the visitor of each value as it starts and ends, of each
// container as it opens and closes, and of each key; a visitor that answers false ends the walk.
struct Walk {
  Reader in;
  std::vector<Frame> frames;
  TextPlace value_start;   // of the last value begun
  bool in_scalar = false;  // the text ended inside that value, a string, number or literal

  // The step from frames[i] to what it holds now: its last key or element.
  KeyStep StepIn(std::size_t i) const {
    if (frames[i].object) return DecodeKey(frames[i].key);
    return frames[i].count - 1;
  }
  // The path to the value begun last (or, between values, to the innermost container).
  KeyPath Path() const {
    KeyPath path;
    for (std::size_t i = 0; i < frames.size() && frames[i].in_member; ++i)
      path.push_back(StepIn(i));
    return path;
  }
  // The path to the innermost open container.
  KeyPath ContainerPath() const {
    KeyPath path;
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) path.push_back(StepIn(i));
    return path;
  }

  template <typename Visitor>
  void Run(Visitor& visitor) {
    if (in.text.starts_with("\xEF\xBB\xBF")) in.at = 3;
    enum { Value, KeyOrEnd, Key, ValueOrEnd, CommaOrEnd } next = Value;
    for (;;) {
      in.SkipBlanks();
      if (in.AtEnd()) return;
      const char c = in.Peek();
      // A container that closes right after it opened.
      if ((next == KeyOrEnd && c == '}') || (next == ValueOrEnd && c == ']')) {
        if (!Close(visitor)) return;
        next = CommaOrEnd;
        if (frames.empty()) return;
        continue;
      }
      switch (next) {
        case KeyOrEnd:
        case Key: {
          if (c != '"') return;
          const TextPlace start = in.Here();
          const std::size_t offset = in.at;
          std::string_view raw;
          if (!in.SkipString(raw)) return;
          Frame& frame = frames.back();
          ++frame.count;
          frame.key = raw;
          frame.in_member = true;
          if (!visitor.Key(*this, raw, start, offset)) return;
          in.SkipBlanks();
          if (in.AtEnd() || in.Peek() != ':') return;
          in.Step();
          next = Value;
          break;
        }
        case ValueOrEnd:
        case Value: {
          if (!frames.empty() && !frames.back().object) {
            ++frames.back().count;
            frames.back().in_member = true;
          }
          value_start = in.Here();
          if (!visitor.Value(*this)) return;
          if (c == '{' || c == '[') {
            in.Step();
            frames.push_back({c == '{', 0, {}, false});
            if (!visitor.Open(*this)) return;
            next = c == '{' ? KeyOrEnd : ValueOrEnd;
            break;
          }
          in_scalar = true;
          std::string_view raw;
          if (c == '"' ? !in.SkipString(raw) : (in.SkipScalar(), in.AtEnd())) return;
          in_scalar = false;
          if (frames.empty()) return;
          frames.back().in_member = false;
          if (!visitor.Ended(*this)) return;
          next = CommaOrEnd;
          break;
        }
        case CommaOrEnd:
          if (c == ',') {
            in.Step();
            next = frames.back().object ? Key : Value;
          } else if (c == '}' || c == ']') {
            if (!Close(visitor)) return;
          } else {
            return;
          }
          break;
      }
      if (next == CommaOrEnd && frames.empty()) return;
    }
  }

  template <typename Visitor>
  bool Close(Visitor& visitor) {
    in.Step();
    visitor.Close(*this);
    frames.pop_back();
    if (frames.empty()) return true;
    frames.back().in_member = false;
    return visitor.Ended(*this);
  }
};

// Walks without looking; stops where the text does.
struct PassBy {
  bool Value(const Walk&) { return true; }
  bool Open(const Walk&) { return true; }
  void Close(const Walk&) {}
  bool Key(const Walk&, std::string_view, TextPlace, std::size_t) { return true; }
  bool Ended(const Walk&) { return true; }
};

}  // namespace TextWalk
