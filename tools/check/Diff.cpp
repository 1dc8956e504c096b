#include "tools/check/Diff.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "plugin/engine/Unicode.h"

namespace {

// Settings are the same when their bits are: a reload replaces them whatever they are.
bool Same(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// The foods in order, by reference: a list of a million foods costs 8 bytes a food here.
std::vector<const std::u16string*> Sorted(const std::vector<std::u16string>& foods) {
  std::vector<const std::u16string*> sorted;
  sorted.reserve(foods.size());
  for (const std::u16string& food : foods) sorted.push_back(&food);
  std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return *a < *b; });
  return sorted;
}

// Each food of a that b lists fewer times, both in order.
std::vector<ConfigDiff::Food> More(const std::vector<const std::u16string*>& a,
                                   const std::vector<const std::u16string*>& b) {
  std::vector<ConfigDiff::Food> more;
  auto other = b.begin();
  for (auto run = a.begin(); run != a.end();) {
    auto run_end = run;
    while (run_end != a.end() && **run_end == **run) ++run_end;
    while (other != b.end() && **other < **run) ++other;
    auto other_end = other;
    while (other_end != b.end() && **other_end == **run) ++other_end;
    const auto count = static_cast<std::size_t>(run_end - run);
    const auto fewer = static_cast<std::size_t>(other_end - other);
    if (count > fewer) more.push_back({Unicode::Utf16ToUtf8(**run), count - fewer, count});
    run = run_end;
    other = other_end;
  }
  return more;
}

}  // namespace

WalkEffect WalkEffectOf(const ConfigContents& contents) {
  if (!contents.replace_walk) return WalkEffect::Kept;
  return contents.foods.empty() ? WalkEffect::PlainCuddle : WalkEffect::Food;
}

bool ConfigDiff::Empty() const {
  return added.empty() && removed.empty() && changed.empty() && foods_added.empty() &&
         foods_removed.empty() && !walk;
}

ConfigDiff DiffConfigs(const ConfigContents& running, const ConfigContents& next) {
  ConfigDiff diff;
  for (const auto& [name, entry] : next.species) {
    const auto before = running.species.find(name);
    if (before == running.species.end()) {
      diff.added.push_back({name, {}, entry});
    } else if (!Same(before->second.CuddleIntervalTime, entry.CuddleIntervalTime) ||
               !Same(before->second.CuddleIncreasePercent, entry.CuddleIncreasePercent)) {
      diff.changed.push_back({name, before->second, entry});
    }
  }
  for (const auto& [name, entry] : running.species)
    if (!next.species.count(name)) diff.removed.push_back({name, entry, {}});
  const auto old_foods = Sorted(running.foods), new_foods = Sorted(next.foods);
  diff.foods_added = More(new_foods, old_foods);
  diff.foods_removed = More(old_foods, new_foods);
  if (WalkEffectOf(running) != WalkEffectOf(next))
    diff.walk.emplace(WalkEffectOf(running), WalkEffectOf(next));
  return diff;
}
