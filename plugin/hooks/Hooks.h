// The three detours of APrimalDinoCharacter's imprinting functions, the slots through which they
// reach the game's own functions, and their installation.
#pragma once

#include <cstdint>

#include "plugin/host/GameTypes.h"

void Hook_UpdateBabyCuddling(APrimalDinoCharacter* dino, double next_cuddle_time,
                             std::uint8_t cuddle_kind, UObject* food);
void Hook_UpdateImprintingQuality(APrimalDinoCharacter* dino, float new_quality);
void Hook_AddedImprintingQuality(APrimalDinoCharacter* dino, float amount);

extern void (*Game_UpdateBabyCuddling)(APrimalDinoCharacter*, double, std::uint8_t, UObject*);
extern void (*Game_UpdateImprintingQuality)(APrimalDinoCharacter*, float);
extern void (*Game_AddedImprintingQuality)(APrimalDinoCharacter*, float);

void InstallHooks();
void RemoveHooks();
