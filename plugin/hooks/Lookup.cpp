#include "plugin/hooks/Lookup.h"

#include "plugin/config/Config.h"
#include "plugin/engine/Strings.h"
#include "plugin/host/Host.h"

bool LookUpSpecies(APrimalDinoCharacter* dino, FString& name_tag, std::pair<float, float>& species) {
  FNameToFString(GetField<FName>(dino, GameNames::DinoNameTag), &name_tag);
  return FindSpecies(FStringToUtf8(&name_tag), &species);
}
