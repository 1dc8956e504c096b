// Installing and removing the detours: one table, walked in the same order both ways.
#include "plugin/hooks/Hooks.h"

#include <span>
#include <string_view>

#include "plugin/host/Host.h"

void (*Game_UpdateBabyCuddling)(APrimalDinoCharacter*, double, std::uint8_t, UObject*) = nullptr;
void (*Game_UpdateImprintingQuality)(APrimalDinoCharacter*, float) = nullptr;
void (*Game_AddedImprintingQuality)(APrimalDinoCharacter*, float) = nullptr;

namespace {

struct HookRow {
  std::string_view function;
  void* detour;
  void** slot;
};

std::span<const HookRow> HookTable() {
  static const HookRow rows[] = {
      {GameNames::UpdateBabyCuddling, reinterpret_cast<void*>(&Hook_UpdateBabyCuddling),
       reinterpret_cast<void**>(&Game_UpdateBabyCuddling)},
      {GameNames::UpdateImprintingQuality, reinterpret_cast<void*>(&Hook_UpdateImprintingQuality),
       reinterpret_cast<void**>(&Game_UpdateImprintingQuality)},
      {GameNames::AddedImprintingQuality, reinterpret_cast<void*>(&Hook_AddedImprintingQuality),
       reinterpret_cast<void**>(&Game_AddedImprintingQuality)},
  };
  return rows;
}

}  // namespace

void InstallHooks() {
  for (const HookRow& row : HookTable()) ArkApi::GetHooks().SetHook(row.function, row.detour, row.slot);
}

void RemoveHooks() {
  for (const HookRow& row : HookTable()) ArkApi::GetHooks().DisableHook(row.function, row.detour);
}
