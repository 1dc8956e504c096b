#include "tools/check/Keys.h"

#include <algorithm>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tools/check/Warnings.h"

namespace {

using TextWalk::Walk;

// What an object is to the module.
enum class Role { Other, Document, General, Dinolist, Species };

std::span<const std::string_view> Known(Role role) {
  using namespace ConfigKey;
  static constexpr std::string_view Document[] = {General, Dinolist, Footlist};
  static constexpr std::string_view InGeneral[] = {ReplaceCuddleTypeWalk};
  static constexpr std::string_view Species[] = {CuddleIntervalTime, CuddleIncreasePercent};
  switch (role) {
    case Role::Document:
      return Document;
    case Role::General:
      return InGeneral;
    case Role::Species:
      return Species;
    default:
      return {};
  }
}

std::string_view Trimmed(std::string_view key) {
  const auto first = key.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return key.substr(first, key.find_last_not_of(" \t\r\n") - first + 1);
}

// Edits (a byte added, dropped, changed, or two swapped) from a to b; 3 for anything past 2.
std::size_t Edits(std::string_view a, std::string_view b) {
  if (a.size() > b.size() + 2 || b.size() > a.size() + 2) return 3;
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] =
          std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return std::min<std::size_t>(d[a.size()][b.size()], 3);
}

std::string Quoted(std::string_view name) { return "\"" + std::string(name) + "\""; }

std::string UnknownKeyText(std::string_view key, Role role) {
  const auto known = Known(role);
  for (std::string_view name : known) {
    if (SameLetters(key, name))
      return "key differs from " + Quoted(name) +
             " only in letter case; keys are case-sensitive, so it is ignored";
  }
  for (std::string_view name : known) {
    if (Trimmed(key) == name)
      return "key has a blank at its start or end; keys are matched exactly, so it is ignored; "
             "did you mean " +
             Quoted(name) + "?";
  }
  const std::string ignored = "the module does not read this key, so it is ignored";
  std::string_view best;
  std::size_t fewest = 3;
  for (std::string_view name : known) {
    if (const std::size_t edits = Edits(key, name); edits < fewest) {
      fewest = edits;
      best = name;
    }
  }
  if (!best.empty()) return ignored + "; did you mean " + Quoted(best) + "?";
  switch (role) {
    case Role::Document:
      return ignored + "; it reads \"General\", \"Dinolist\" and \"Footlist\"";
    case Role::General:
      return ignored + "; \"General\" holds only \"ReplaceCuddleTypeWalk\"";
    default:
      return ignored + "; a species has \"CuddleIntervalTime\" and \"CuddleIncreasePercent\" only";
  }
}

struct KeyScan : TextWalk::PassBy {
  Problems& problems;
  std::vector<Role> roles;

  explicit KeyScan(Problems& found) : problems(found) {}

  bool Open(const Walk& walk) {
    const std::size_t depth = walk.frames.size();
    Role role = Role::Other;
    if (walk.frames.back().object) {
      const Role parent = depth > 1 ? roles.back() : Role::Other;
      if (depth == 1) {
        role = Role::Document;
      } else if (parent == Role::Dinolist) {
        role = Role::Species;
      } else if (parent == Role::Document) {
        const std::string key = TextWalk::DecodeKey(walk.frames[depth - 2].key);
        if (key == ConfigKey::General) role = Role::General;
        if (key == ConfigKey::Dinolist) role = Role::Dinolist;
      }
    }
    roles.push_back(role);
    return true;
  }

  void Close(const Walk&) { roles.pop_back(); }

  bool Key(const Walk& walk, std::string_view raw, TextPlace start, std::size_t) {
    const Role role = roles.back();
    if (role != Role::Document && role != Role::General && role != Role::Species) return true;
    const std::string key = TextWalk::DecodeKey(raw);
    std::string message;
    if (key.starts_with('$') || key.starts_with('_')) {
      // Free for notes, but for a slip of the one such key an editor looks for.
      if (role != Role::Document || !key.starts_with('$') || key == "$schema" ||
          Edits(key, "$schema") > 2)
        return true;
      message =
          "editors look for \"$schema\" as written so, and the module ignores any key that "
          "starts with $; did you mean \"$schema\"?";
    } else {
      const auto known = Known(role);
      if (std::find(known.begin(), known.end(), key) != known.end()) return true;
      message = UnknownKeyText(key, role);
    }
    if (Problem* problem = problems.Add(false, "unknown-key")) {
      problem->path = walk.Path();
      problem->place = start;
      problem->message = std::move(message);
    }
    return true;
  }
};

}  // namespace

void WarnAboutUnread(std::string_view text, std::size_t end, Problems& problems) {
  Walk walk{{text.substr(0, end)}, {}, {}, false};
  KeyScan scan(problems);
  walk.Run(scan);
  if (end < text.size() || !walk.frames.empty() || walk.in_scalar) return;
  // Most often a "}" too many in the middle of the file, which ends the config there.
  walk.in.SkipBlanks();
  if (walk.in.AtEnd()) return;
  if (Problem* problem = problems.Add(false, "text-after-end")) {
    problem->shown_path = KeyPathText({});
    problem->place = walk.in.Here();
    problem->message =
        "the config has ended before here, and the module ignores everything from here on; if "
        "this is still part of it, a \"}\" or \"]\" too many closes it earlier";
  }
}
