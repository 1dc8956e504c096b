// The detours' slots and species lookup, and their installation and removal: one table, walked in
// the same order both ways.
#include "plugin/hooks/Hooks.h"

#include <span>
#include <string_view>

#include "plugin/config/Config.h"
#include "plugin/engine/Strings.h"
#include "plugin/host/Host.h"

GameFunctions::UpdateBabyCuddling* Game_UpdateBabyCuddling = nullptr;
GameFunctions::UpdateImprintingQuality* Game_UpdateImprintingQuality = nullptr;
GameFunctions::AddedImprintingQuality* Game_AddedImprintingQuality = nullptr;

bool LookUpSpecies(APrimalDinoCharacter* dino, FString& name_tag,
                   std::pair<float, float>& species) {
  FNameToFString(GetField<FName>(dino, GameNames::DinoNameTag), &name_tag);
  return FindSpecies(FStringToUtf8(&name_tag), &species);
}

namespace {

struct HookRow {
  std::string_view function;
  void* detour;
  void** slot;
};

// A row whose detour and slot have the game function's own signature.
template <class Signature>
HookRow Row(std::string_view function, Signature* detour, Signature** slot) {
  return {function, reinterpret_cast<void*>(detour), reinterpret_cast<void**>(slot)};
}

std::span<const HookRow> HookTable() {
  static const HookRow rows[] = {
      Row(GameNames::UpdateBabyCuddling, &Hook_UpdateBabyCuddling, &Game_UpdateBabyCuddling),
      Row(GameNames::UpdateImprintingQuality, &Hook_UpdateImprintingQuality,
          &Game_UpdateImprintingQuality),
      Row(GameNames::AddedImprintingQuality, &Hook_AddedImprintingQuality,
          &Game_AddedImprintingQuality),
  };
  return rows;
}

}  // namespace

void InstallHooks() {
  for (const HookRow& row : HookTable())
    ArkApi::GetHooks().SetHook(row.function, row.detour, row.slot);
}

void RemoveHooks() {
  for (const HookRow& row : HookTable()) ArkApi::GetHooks().DisableHook(row.function, row.detour);
}
