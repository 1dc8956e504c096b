// Makes a given number of calls of one detour case, for instruction counts under callgrind.
// Usage: detour_calls CASE CALLS, CASE one of the names printed by --list.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "bench/Nursery.h"

namespace {

struct Case {
  const char* name;
  Bench::Setup setup;
  bool foods;
  std::function<void(APrimalDinoCharacter*)> call;
};

const Case Cases[] = {
    {"cuddling/floor", Bench::Floor, false,
     [](auto* d) { Game::RequestCuddle(d, 1000, 0, nullptr); }},
    {"cuddling/unlisted", Bench::Unlisted, false,
     [](auto* d) { Game::RequestCuddle(d, 1000, 0, nullptr); }},
    {"cuddling/listed", Bench::Listed, false,
     [](auto* d) { Game::RequestCuddle(d, 1000, 0, nullptr); }},
    {"cuddling/listed_food_loaded", Bench::Listed, true,
     [](auto* d) { Game::RequestCuddle(d, 1000, 1, nullptr); }},
    {"update/floor", Bench::Floor, false, [](auto* d) { Game::SetImprinting(d, 0.3f); }},
    {"update/unlisted", Bench::Unlisted, false, [](auto* d) { Game::SetImprinting(d, 0.3f); }},
    {"update/listed", Bench::Listed, false, [](auto* d) { Game::SetImprinting(d, 0.3f); }},
    {"added/floor", Bench::Floor, false, [](auto* d) { Game::AddImprinting(d, 0.0f); }},
    {"added/unlisted", Bench::Unlisted, false, [](auto* d) { Game::AddImprinting(d, 0.0f); }},
    {"added/listed", Bench::Listed, false, [](auto* d) { Game::AddImprinting(d, 0.0f); }},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (const Case& c : Cases) std::puts(c.name);
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: detour_calls CASE CALLS | --list\n");
    return 2;
  }
  for (const Case& c : Cases) {
    if (std::strcmp(c.name, argv[1]) != 0) continue;
    APrimalDinoCharacter* baby = Bench::Prepare(c.setup, c.foods);
    const long calls = std::strtol(argv[2], nullptr, 10);
    for (long i = 0; i < calls; ++i) c.call(baby);
    return 0;
  }
  std::fprintf(stderr, "detour_calls: no case %s\n", argv[1]);
  return 2;
}
