// The imprinting gain of a listed species: its configured increase, cut so that the quality never
// passes full imprinting (ImprintingRules.h).
#include "plugin/hooks/Hooks.h"
#include "plugin/hooks/ImprintingRules.h"
#include "plugin/host/Host.h"

namespace {

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
  if (ListedQuality(dino, quality, increase)) new_quality = CutQuality(quality, increase);
  Game_UpdateImprintingQuality(dino, new_quality);
}

void Hook_AddedImprintingQuality(APrimalDinoCharacter* dino, float amount) {
  float quality, increase;
  if (ListedQuality(dino, quality, increase)) amount = CutGain(quality, increase);
  Game_AddedImprintingQuality(dino, amount);
}
