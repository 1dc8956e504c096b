// Finding places in a config's text, of repeated keys the first: the one the module reads.
#include "tools/check/TextPlaces.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t None = std::numeric_limits<std::size_t>::max();

using TextWalk::Walk;

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

  bool Key(const Walk& walk, std::string_view raw, TextPlace start, std::size_t) {
    member_node = None;
    if (const std::size_t parent = nodes.back(); parent != None) {
      const bool escaped = raw.find('\\') != std::string_view::npos;
      const std::string decoded = escaped ? TextWalk::DecodeKey(raw) : std::string();
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

  bool Ended(const Walk&) { return true; }

  // Where a value starts, or, marked as not found, the nearest value above it that is in the text.
  TextPlace ValueOrAbove(std::size_t node) const {
    if (values[node]) return *values[node];
    while (!values[node] && node != 0) node = search.parents[node];
    TextPlace above = values[node].value_or(TextPlace{});
    above.found = false;
    return above;
  }
};

// Stops at the first container that opens deeper than its bound.
struct DepthBound : TextWalk::PassBy {
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
        places.push_back(finder.keys[want.node] ? *finder.keys[want.node]
                                                : finder.ValueOrAbove(want.node));
        break;
      case PlaceSearch::Want::Member:
        places.push_back(finder.members[i].value_or(TextPlace{1, 1, false}));
        break;
    }
  }
  return places;
}

StopPlace FindStop(std::string_view text, std::size_t offset) {
  Walk walk{{text.substr(0, offset)}, {}, {}, false};
  TextWalk::PassBy visitor;
  walk.Run(visitor);
  while (!walk.in.AtEnd()) walk.in.Step();
  const TextPlace place = walk.in.Here();
  return {offset, place, walk.in_scalar ? walk.value_start : place, walk.Path()};
}

StopPlace FindTooDeep(std::string_view text, std::size_t depth) {
  Walk walk{{text}, {}, {}, false};
  DepthBound visitor{{}, depth};
  walk.Run(visitor);
  return {walk.in.at - 1, walk.value_start, walk.value_start, walk.Path()};
}

TextPlace PlaceAt(std::string_view text, std::size_t offset) {
  TextWalk::Reader reader{text.substr(0, offset)};
  while (!reader.AtEnd()) reader.Step();
  return reader.Here();
}

namespace {

// Remembers where the last value ended, or the last container opened: the text up to there and
// the closing brackets of what is open there make a whole document.
struct LastBoundary : TextWalk::PassBy {
  std::size_t at = 0;
  std::string closers;
  bool Open(const Walk& walk) { return Mark(walk); }
  bool Ended(const Walk& walk) { return Mark(walk); }
  bool Mark(const Walk& walk) {
    at = walk.in.at;
    closers.clear();
    for (auto frame = walk.frames.rbegin(); frame != walk.frames.rend(); ++frame)
      closers += frame->object ? '}' : ']';
    return true;
  }
};

}  // namespace

TextBefore WholeTextBefore(std::string_view text, std::size_t offset) {
  Walk walk{{text.substr(0, offset)}, {}, {}, false};
  LastBoundary boundary;
  walk.Run(boundary);
  if (boundary.at == 0) return {{}, {}, offset};
  return {std::string(text.substr(0, boundary.at)) + boundary.closers, walk.ContainerPath(),
          offset};
}
