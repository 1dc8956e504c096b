// The game's fields and functions the module reaches, by the names the host resolves
// ("Class.Member"), and the signatures of the functions behind them.
#pragma once

#include <cstdint>
#include <string_view>

#include "plugin/host/GameTypes.h"

namespace GameNames {

// Fields.
inline constexpr std::string_view DinoNameTag = "APrimalDinoCharacter.DinoNameTag";
inline constexpr std::string_view StatusComponent = "APrimalCharacter.MyCharacterStatusComponent";
inline constexpr std::string_view ImprintingQuality =
    "UPrimalCharacterStatusComponent.DinoImprintingQuality";
inline constexpr std::string_view TotalMaturationTime =
    "APrimalDinoCharacter.BabyImprintingQualityTotalMaturationTime";
inline constexpr std::string_view WorldTimeSeconds = "UWorld.TimeSeconds";
inline constexpr std::string_view IsAdmin = "APlayerController.bIsAdmin";

// Functions.
inline constexpr std::string_view NameToString = "FName.ToString";
inline constexpr std::string_view Malloc = "FMemory.Malloc";
inline constexpr std::string_view Realloc = "FMemory.Realloc";
inline constexpr std::string_view Free = "FMemory.Free";
inline constexpr std::string_view StaticClass = "UObject.StaticClass";
inline constexpr std::string_view StaticLoadObject = "Global.StaticLoadObject";
inline constexpr std::string_view ChatDirectMessage =
    "AShooterPlayerController.ClientServerChatDirectMessage";
inline constexpr std::string_view RconSendMessage = "RCONClientConnection.SendMessageW";

// Functions the module detours.
inline constexpr std::string_view UpdateBabyCuddling = "APrimalDinoCharacter.UpdateBabyCuddling";
inline constexpr std::string_view UpdateImprintingQuality =
    "APrimalDinoCharacter.UpdateImprintingQuality";
inline constexpr std::string_view AddedImprintingQuality =
    "APrimalDinoCharacter.AddedImprintingQuality";

}  // namespace GameNames

// Signatures of the game functions above. A member function takes its object first.
namespace GameFunctions {

using Malloc = void*(std::uint64_t size, std::uint32_t alignment);
using Realloc = void*(void* block, std::uint64_t size);
using Free = void(void* block);
using NameToString = FString*(const FName* name, FString* out);
using StaticClass = UClass*();
using StaticLoadObject = UObject*(UClass* object_class, UObject* outer, const EngineChar* name,
                                  const EngineChar* file_name, std::uint32_t load_flags,
                                  void* sandbox, bool allow_reconciliation);
using ChatDirectMessage = void(AShooterPlayerController* player, FString* message,
                               FLinearColor color, bool bold);
using RconSendMessage = void(RCONClientConnection* connection, std::int32_t id, std::int32_t type,
                             FString* message);

using UpdateBabyCuddling = void(APrimalDinoCharacter* dino, double next_cuddle_time,
                                std::uint8_t cuddle_kind, UObject* food);
using UpdateImprintingQuality = void(APrimalDinoCharacter* dino, float new_quality);
using AddedImprintingQuality = void(APrimalDinoCharacter* dino, float amount);

}  // namespace GameFunctions
