// Finding places in a config's text. The text is walked the way the parser reads it: a leading
// byte-order mark skipped, the first value only, of repeated keys the first. What is walked has
// been read by the parser already, so the walk trusts it and merely stops on anything else.
#include "tools/TextPlaces.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t None = std::numeric_limits<std::size_t>::max();

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

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
std::string DecodeKey(std::string_view raw) {
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

// Walks the text's first value, telling the visitor of each value, container and key; a visitor
// that answers false ends the walk there.
struct Walk {
  Reader in;
  std::vector<Frame> frames;
  TextPlace value_start;   // of the last value begun
  bool in_scalar = false;  // the text ended inside that value, a string, number or literal

  // The path to the value begun last (or, between values, to the innermost container).
  KeyPath Path() const {
    KeyPath path;
    for (const Frame& frame : frames) {
      if (!frame.in_member) break;
      if (frame.object)
        path.emplace_back(DecodeKey(frame.key));
      else
        path.emplace_back(frame.count - 1);
    }
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
        Close(visitor);
        next = CommaOrEnd;
        if (frames.empty()) return;
        continue;
      }
      switch (next) {
        case KeyOrEnd:
        case Key: {
          if (c != '"') return;
          const TextPlace start = in.Here();
          std::string_view raw;
          if (!in.SkipString(raw)) return;
          Frame& frame = frames.back();
          ++frame.count;
          frame.key = raw;
          frame.in_member = true;
          if (!visitor.Key(*this, raw, start)) return;
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
          next = CommaOrEnd;
          break;
        }
        case CommaOrEnd:
          if (c == ',') {
            in.Step();
            next = frames.back().object ? Key : Value;
          } else if (c == '}' || c == ']') {
            Close(visitor);
          } else {
            return;
          }
          break;
      }
      if (next == CommaOrEnd && frames.empty()) return;
    }
  }

  template <typename Visitor>
  void Close(Visitor& visitor) {
    in.Step();
    visitor.Close(*this);
    frames.pop_back();
    if (!frames.empty()) frames.back().in_member = false;
  }
};

// Follows the paths of a search down the text, and counts containers and keys for its members.
struct PlaceFinder {
  const PlaceSearch& search;
  std::vector<std::optional<TextPlace>> values, keys;  // by node
  std::vector<std::optional<TextPlace>> members;       // by want
  std::vector<std::size_t> nodes;                      // of the open containers; None off the paths
  std::size_t member_node = None;                      // of the member whose key was read last

  // The members wanted, by container and member; a range of them for each open container.
  std::vector<std::size_t> by_order;
  std::size_t next_member = 0;
  struct Range {
    std::size_t next, end;
  };
  std::vector<Range> ranges;
  std::size_t opened = 0;

  explicit PlaceFinder(const PlaceSearch& wanted)
      : search(wanted),
        values(wanted.parents.size()),
        keys(wanted.parents.size()),
        members(wanted.wants.size()) {
    for (std::size_t i = 0; i < search.wants.size(); ++i)
      if (search.wants[i].kind == PlaceSearch::Want::Member) by_order.push_back(i);
    std::sort(by_order.begin(), by_order.end(), [&](std::size_t a, std::size_t b) {
      const auto& x = search.wants[a];
      const auto& y = search.wants[b];
      return x.container != y.container ? x.container < y.container : x.member < y.member;
    });
  }

  bool Value(const Walk& walk) {
    std::size_t node = None;
    if (walk.frames.empty()) {
      node = 0;
    } else if (walk.frames.back().object) {
      node = member_node;
    } else if (nodes.back() != None) {
      const auto found = search.indexes.find({nodes.back(), walk.frames.back().count - 1});
      if (found != search.indexes.end()) node = found->second;
    }
    if (node != None) values[node] = walk.value_start;
    member_node = node;
    return true;
  }

  bool Open(const Walk&) {
    nodes.push_back(member_node);
    while (next_member < by_order.size() && search.wants[by_order[next_member]].container < opened)
      ++next_member;
    Range range{next_member, next_member};
    while (range.end < by_order.size() && search.wants[by_order[range.end]].container == opened)
      ++range.end;
    next_member = range.end;
    ranges.push_back(range);
    ++opened;
    return true;
  }

  void Close(const Walk&) {
    nodes.pop_back();
    ranges.pop_back();
  }

  bool Key(const Walk& walk, std::string_view raw, TextPlace start) {
    member_node = None;
    if (const std::size_t parent = nodes.back(); parent != None) {
      const bool escaped = raw.find('\\') != std::string_view::npos;
      const std::string decoded = escaped ? DecodeKey(raw) : std::string();
      const std::string_view key = escaped ? std::string_view(decoded) : raw;
      const auto found = search.keys.find(std::pair(parent, key));
      // A repeat of a key already found is the one the module drops.
      if (found != search.keys.end() && !keys[found->second]) {
        keys[found->second] = start;
        member_node = found->second;
      }
    }
    Range& range = ranges.back();
    const std::size_t member = walk.frames.back().count - 1;
    while (range.next < range.end && search.wants[by_order[range.next]].member <= member) {
      if (search.wants[by_order[range.next]].member == member)
        members[by_order[range.next]] = start;
      ++range.next;
    }
    return true;
  }

  // Where a value starts, or the nearest value above it that is in the text.
  TextPlace ValueOrAbove(std::size_t node) const {
    while (!values[node] && node != 0) node = search.parents[node];
    return values[node].value_or(TextPlace{});
  }
};

// Walks without looking; stops where the text does.
struct PassBy {
  bool Value(const Walk&) { return true; }
  bool Open(const Walk&) { return true; }
  void Close(const Walk&) {}
  bool Key(const Walk&, std::string_view, TextPlace) { return true; }
};

// Stops at the first container that opens deeper than its bound.
struct DepthBound : PassBy {
  std::size_t depth;
  bool Open(const Walk& walk) { return walk.frames.size() <= depth; }
};

}  // namespace

std::size_t PlaceSearch::NodeOf(const KeyPath& path) {
  std::size_t node = 0;
  for (const KeyStep& step : path) {
    std::size_t next = parents.size();
    if (const auto* key = std::get_if<std::string>(&step))
      next = keys.try_emplace({node, *key}, next).first->second;
    else
      next = indexes.try_emplace({node, std::get<std::size_t>(step)}, next).first->second;
    if (next == parents.size()) parents.push_back(node);
    node = next;
  }
  return node;
}

std::size_t PlaceSearch::WantValue(const KeyPath& path) {
  wants.push_back({Want::Value, NodeOf(path), 0, 0});
  return wants.size() - 1;
}

std::size_t PlaceSearch::WantKey(const KeyPath& path) {
  wants.push_back({Want::Key, NodeOf(path), 0, 0});
  return wants.size() - 1;
}

std::size_t PlaceSearch::WantMember(std::size_t container, std::size_t member) {
  wants.push_back({Want::Member, 0, container, member});
  return wants.size() - 1;
}

std::vector<TextPlace> FindPlaces(std::string_view text, const PlaceSearch& search) {
  PlaceFinder finder(search);
  if (!search.wants.empty()) {
    Walk walk{{text}, {}, {}, false};
    walk.Run(finder);
  }
  std::vector<TextPlace> places;
  places.reserve(search.wants.size());
  for (std::size_t i = 0; i < search.wants.size(); ++i) {
    const auto& want = search.wants[i];
    switch (want.kind) {
      case PlaceSearch::Want::Value:
        places.push_back(finder.ValueOrAbove(want.node));
        break;
      case PlaceSearch::Want::Key:
        places.push_back(finder.keys[want.node].value_or(finder.ValueOrAbove(want.node)));
        break;
      case PlaceSearch::Want::Member:
        places.push_back(finder.members[i].value_or(TextPlace{}));
        break;
    }
  }
  return places;
}

StopPlace FindStop(std::string_view text, std::size_t offset) {
  Walk walk{{text.substr(0, offset)}, {}, {}, false};
  PassBy visitor;
  walk.Run(visitor);
  while (!walk.in.AtEnd()) walk.in.Step();
  const TextPlace place = walk.in.Here();
  return {place, walk.in_scalar ? walk.value_start : place, walk.Path()};
}

StopPlace FindTooDeep(std::string_view text, std::size_t depth) {
  Walk walk{{text}, {}, {}, false};
  DepthBound visitor{{}, depth};
  walk.Run(visitor);
  return {walk.value_start, walk.value_start, walk.Path()};
}
