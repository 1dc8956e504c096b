// The hook registry. Every game function the module may detour is called only through its entry,
// a pointer that holds the newest detour or else the game's own function. Each detour reaches the
// one before it through the slot it gave at installation, so detours chain and any one of them can
// be taken out.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "sandbox/host/HostState.h"

namespace {

struct Detour {
  void* function;
  void** slot;
};

struct Hookable {
  void* original;
  void* entry;                // what a call reaches
  std::vector<Detour> chain;  // oldest first
};

std::map<std::string, Hookable, std::less<>>& Hookables() {
  static std::map<std::string, Hookable, std::less<>> hookables;
  return hookables;
}

std::set<std::string, std::less<>>& Refused() {
  static std::set<std::string, std::less<>> refused;
  return refused;
}

void Relink(Hookable& h) { h.entry = h.chain.empty() ? h.original : h.chain.back().function; }

class Hooks final : public ArkApi::IHooks {
 public:
  bool SetHook(std::string_view name, void* detour, void** original) override {
    Sandbox::RecordHostEvent("SetHook", name);
    auto it = Hookables().find(name);
    if (it == Hookables().end() || Refused().count(name) || !detour || !original) {
      Sandbox::HostLogger().error("could not hook {}", name);
      return false;
    }
    Hookable& h = it->second;
    *original = h.entry;
    h.chain.push_back({detour, original});
    Relink(h);
    return true;
  }

  bool DisableHook(std::string_view name, void* detour) override {
    Sandbox::RecordHostEvent("DisableHook", name);
    auto it = Hookables().find(name);
    if (it == Hookables().end()) return false;
    Hookable& h = it->second;
    auto d = std::find_if(h.chain.begin(), h.chain.end(),
                          [detour](const Detour& x) { return x.function == detour; });
    if (d == h.chain.end()) return false;
    // The detour installed after this one now reaches what this one reached.
    if (d + 1 != h.chain.end()) *(d + 1)->slot = *d->slot;
    h.chain.erase(d);
    Relink(h);
    return true;
  }
};

}  // namespace

namespace ArkApi {
IHooks& GetHooks() {
  static Hooks hooks;
  return hooks;
}
}  // namespace ArkApi

namespace Sandbox {

void* const* RegisterHookable(std::string_view name, void* original) {
  auto [it, added] = Hookables().try_emplace(std::string(name), Hookable{original, original, {}});
  RegisterFunction(name, original);
  return &it->second.entry;
}

std::size_t DetourCount(std::string_view name) {
  auto it = Hookables().find(name);
  return it == Hookables().end() ? 0 : it->second.chain.size();
}

void RefuseHook(std::string_view name, bool refuse) {
  if (refuse)
    Refused().emplace(name);
  else if (auto it = Refused().find(name); it != Refused().end())
    Refused().erase(it);
}

void ResetHooks() {
  for (auto& [name, h] : Hookables()) {
    h.chain.clear();
    Relink(h);
  }
  Refused().clear();
}

}  // namespace Sandbox
