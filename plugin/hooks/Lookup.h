// The species lookup the three detours share.
#pragma once

#include <utility>

#include "plugin/host/GameTypes.h"

// Reads the creature's species name tag into name_tag (a temporary the caller owns and destroys
// before it calls the game) and looks it up. On true, species holds the cuddle interval in seconds
// and the imprinting increase.
bool LookUpSpecies(APrimalDinoCharacter* dino, FString& name_tag, std::pair<float, float>& species);
