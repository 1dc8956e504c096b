// Where values and keys stand in a config's text, so that nestkeep-check can point at them: found
// again in the same text, in one pass however many are asked for.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "tools/check/TextWalk.h"

// What one pass over the text looks for. Each Want gives the index of its answer among the places
// FindPlaces returns.
struct PlaceSearch {
  // Where the value at path starts, of repeated keys the first; when the path leaves the text (a
  // member that is not there), where the value that lacks it starts, marked as not found.
  std::size_t WantValue(const KeyPath& path);
  // Where the key of the member at path starts, of repeated keys the first.
  std::size_t WantKey(const KeyPath& path);
  // Where a key starts by its order in the text: the member-th key (from 0) of the container-th
  // object or array to open (from 0, the document itself first).
  std::size_t WantMember(std::size_t container, std::size_t member);

  // The search itself, as FindPlaces reads it: the paths asked for, as a tree from the document
  // (node 0) down, each node by its parent and its step from there; and what is wanted of them.
  struct StepOrder {
    using is_transparent = void;
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
      if (a.first != b.first) return a.first < b.first;
      return std::string_view(a.second) < std::string_view(b.second);
    }
  };
  std::vector<std::size_t> parents{0};
  std::map<std::pair<std::size_t, std::string>, std::size_t, StepOrder> keys;
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> indexes;
  struct Want {
    enum Kind { Value, Key, Member } kind;
    std::size_t node;  // Value and Key
    std::size_t container, member;
  };
  std::vector<Want> wants;

  std::size_t NodeOf(const KeyPath& path);
};

// The answers to the search, in the order it was asked.
std::vector<TextPlace> FindPlaces(std::string_view text, const PlaceSearch& search);

// Where a parse stopped, or went too deep.
struct StopPlace {
  std::size_t offset = 0;
  TextPlace place;  // the byte itself
  TextPlace value;  // where the value that byte stands in starts; the byte's place when none does
  KeyPath path;     // of that value, or of the innermost object or array there
};

// The byte at offset, which the parser stopped at: all before it is the JSON the parser took.
StopPlace FindStop(std::string_view text, std::size_t offset);
// The first object or array that opens deeper than depth levels.
StopPlace FindTooDeep(std::string_view text, std::size_t depth);

// The place of the byte at offset.
TextPlace PlaceAt(std::string_view text, std::size_t offset);

// What of a text that fails to parse at offset can be read all the same: the text up to the last
// value that ended before offset, with the objects and arrays still open there closed, and the
// path of the innermost of them. Empty when nothing before offset is whole.
struct TextBefore {
  std::string text;
  KeyPath open;
  std::size_t read = 0;  // the offset: the bytes of the text read before the failure
};
TextBefore WholeTextBefore(std::string_view text, std::size_t offset);
