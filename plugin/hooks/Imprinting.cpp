// The imprinting gain of a listed species: its configured increase, cut so that the quality never
// passes full imprinting. A NaN fails every comparison, which decides what it gives.
#include "plugin/hooks/Hooks.h"
#include "plugin/host/Host.h"

namespace {

constexpr float FullImprinting = 1.0f;
constexpr float NoGain = 0.0f;

// The creature's status component and its species' increase, when both exist.
bool ListedQuality(APrimalDinoCharacter* dino, float& quality, float& increase) {
  if (!dino) return false;
  auto* status = *GetField<UPrimalCharacterStatusComponent*>(dino, GameNames::StatusComponent);
  if (!status) return false;
  FString name_tag;
  std::pair<float, float> species;
  if (!LookUpSpecies(dino, name_tag, species)) return false;
  quality = *GetField<float>(status, GameNames::ImprintingQuality);
  increase = species.second;
  return true;
}

}  // namespace

void Hook_UpdateImprintingQuality(APrimalDinoCharacter* dino, float new_quality) {
  float quality, increase;
  if (ListedQuality(dino, quality, increase)) {
    const float sum = increase + quality;
    new_quality = sum < FullImprinting ? sum : FullImprinting;
  }
  Game_UpdateImprintingQuality(dino, new_quality);
}

void Hook_AddedImprintingQuality(APrimalDinoCharacter* dino, float amount) {
  float quality, increase;
  if (ListedQuality(dino, quality, increase)) {
    if (!(quality < FullImprinting)) {
      amount = NoGain;
    } else {
      const float room = FullImprinting - quality;
      amount = room >= increase ? increase : room;
    }
  }
  Game_AddedImprintingQuality(dino, amount);
}
