// What a check finds wrong in a file: errors (what makes the module refuse it) and warnings (what
// it accepts but is most likely a mistake), each at its place in the text. Of one kind at most
// MaxOfAKind are kept; the rest are only counted, so that a file of millions of alike mistakes
// costs no more than one of twenty.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "tools/check/TextPlaces.h"

struct Problem {
  bool error = false;
  bool stops_module = false;  // the failure the module stops at, whose message is the line it logs
  std::string code;           // the kind, stable: the JSON report's "code"
  KeyPath path;
  std::string shown_path;  // the path as shown, when it comes shown already
  std::string message;
  std::string hint;  // plain words on the cause, or empty
  // Where it is: asked of the place search, or known already.
  std::optional<std::size_t> want;
  TextPlace place;
  // When the value asked for is not in the text (a member that is missing), what to say instead.
  std::string code_when_absent, hint_when_absent;
};

struct Problems {
  static constexpr std::size_t MaxOfAKind = 20;

  PlaceSearch search;
  std::vector<Problem> kept;
  std::map<std::string, std::size_t> counts;  // by code, kept or not
  std::size_t errors = 0, warnings = 0;       // kept or not

  // A new problem of the code, to be filled in; null when MaxOfAKind of them are kept already,
  // so that nothing more is spent on it.
  Problem* Add(bool error, const std::string& code) {
    Problem problem;
    problem.error = error;
    problem.code = code;
    return Keep(std::move(problem));
  }
  // A problem made whole already; null when it is only counted.
  Problem* Keep(Problem problem) {
    ++(problem.error ? errors : warnings);
    if (++counts[problem.code] > MaxOfAKind) return nullptr;
    kept.push_back(std::move(problem));
    return &kept.back();
  }
  // A problem about the value at path (or, for a key, the key itself).
  Problem* AddAt(bool error, const std::string& code, const KeyPath& path, bool key = false) {
    Problem* problem = Add(error, code);
    if (problem) {
      problem->path = path;
      problem->want = key ? search.WantKey(path) : search.WantValue(path);
    }
    return problem;
  }
};
