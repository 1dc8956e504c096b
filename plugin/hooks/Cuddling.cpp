// The cuddle request of a listed species: its due time from the configured interval (or the
// maturation time once imprinting is complete), and its food drawn from the food list.
#include <cstdint>

#include "plugin/config/Config.h"
#include "plugin/engine/Strings.h"
#include "plugin/hooks/Hooks.h"
#include "plugin/hooks/ImprintingRules.h"
#include "plugin/host/Host.h"
#include "plugin/lifecycle/Lifecycle.h"

namespace {

constexpr std::uint8_t NoKind = 0;  // what a replaced walk request falls back to
constexpr std::uint8_t FoodKind = 1;
constexpr std::uint8_t WalkKind = 2;

void LogFoodNotLoaded(const std::u16string& path) {
  FString text(path.c_str());
  LogError("can not create object blueprint " + FStringToUtf8(&text));
}

void RescheduleCuddle(APrimalDinoCharacter* dino, double& due, std::uint8_t& kind, UObject*& food) {
  FString name_tag;
  std::pair<float, float> species;
  if (!LookUpSpecies(dino, name_tag, species)) return;

  // Without a world there is no clock to count from; the game's due time stands.
  UWorld* world = ArkApi::GetApiUtils().GetWorld();
  auto* status = *GetField<UPrimalCharacterStatusComponent*>(dino, GameNames::StatusComponent);
  if (world && status) {
    const double now = *GetField<double>(world, GameNames::WorldTimeSeconds);
    const float quality = *GetField<float>(status, GameNames::ImprintingQuality);
    const float delay = IsImprintingComplete(quality)
                            ? *GetField<float>(dino, GameNames::TotalMaturationTime)
                            : species.first;
    due = now + static_cast<double>(delay);
  }

  if (kind != FoodKind && !(kind == WalkKind && !IsWalkCuddleKept())) return;
  if (kind == WalkKind) kind = NoKind;
  std::u16string path;
  if (!PickRandomFood(&path)) return;
  UClass* object_class = GetFunction<GameFunctions::StaticClass>(GameNames::StaticClass)();
  UObject* loaded = GetFunction<GameFunctions::StaticLoadObject>(GameNames::StaticLoadObject)(
      object_class, nullptr, path.c_str(), nullptr, 0, nullptr, true);
  if (loaded) {
    food = loaded;
    kind = FoodKind;
  } else {
    LogFoodNotLoaded(path);
  }
}

}  // namespace

void Hook_UpdateBabyCuddling(APrimalDinoCharacter* dino, double next_cuddle_time,
                             std::uint8_t cuddle_kind, UObject* food) {
  if (dino) RescheduleCuddle(dino, next_cuddle_time, cuddle_kind, food);
  Game_UpdateBabyCuddling(dino, next_cuddle_time, cuddle_kind, food);
}
