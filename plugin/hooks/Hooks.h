// The three detours of APrimalDinoCharacter's imprinting functions, the slots through which they
// reach the game's own functions, the species lookup they share, and their installation.
#pragma once

#include <utility>

#include "plugin/host/GameNames.h"

// Each detour has the signature of the game function it stands in for.
GameFunctions::UpdateBabyCuddling Hook_UpdateBabyCuddling;
GameFunctions::UpdateImprintingQuality Hook_UpdateImprintingQuality;
GameFunctions::AddedImprintingQuality Hook_AddedImprintingQuality;

extern GameFunctions::UpdateBabyCuddling* Game_UpdateBabyCuddling;
extern GameFunctions::UpdateImprintingQuality* Game_UpdateImprintingQuality;
extern GameFunctions::AddedImprintingQuality* Game_AddedImprintingQuality;

// Reads the creature's species name tag into name_tag (a temporary the caller owns and destroys
// before it calls the game) and looks it up. On true, species holds the cuddle interval in seconds
// and the imprinting increase.
bool LookUpSpecies(APrimalDinoCharacter* dino, FString& name_tag, std::pair<float, float>& species);

void InstallHooks();
void RemoveHooks();
