// The sandbox's simulated game: the classes the module reaches by name, a world of baby creatures,
// loadable content, the local player, and the game's own functions, which the game calls only
// through their hookable entries so that a detour takes their place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/host/Runtime.h"

struct UObject {
  UClass* ClassPrivate = nullptr;
  std::string path;  // what the object loader finds it by
};

struct UClass : UObject {};

struct UWorld {
  double TimeSeconds = 0;
};

struct UPrimalCharacterStatusComponent {
  float DinoImprintingQuality = 0;
};

// The fields of APrimalCharacter lie at the start of every creature, as in the engine.
struct APrimalDinoCharacter {
  UPrimalCharacterStatusComponent* MyCharacterStatusComponent = nullptr;
  FName DinoNameTag;
  float BabyImprintingQualityTotalMaturationTime = 0;
  // The last cuddle request the game's own UpdateBabyCuddling stored.
  double BabyNextCuddleTime = 0;
  std::uint8_t BabyCuddleType = 0;
  UObject* BabyCuddleFood = nullptr;
  std::int32_t id = 0;
  std::int32_t cuddles_requested = 0;
};

struct APlayerController {
  std::uint32_t PlayerFlags = 0;  // bIsAdmin is bit 3
};

struct AShooterPlayerController : APlayerController {};

// One RCON reply packet the game sent on a connection.
struct RconReply {
  std::int32_t id;
  std::int32_t type;
  std::string text;
};

struct RCONClientConnection {
  std::vector<RconReply> sent;
};

namespace Game {

// What the game's own function received in the last call.
struct CuddleCall {
  APrimalDinoCharacter* dino;
  double due;
  std::uint8_t kind;
  UObject* food;
};

struct QualityCall {
  APrimalDinoCharacter* dino;
  float value;
};

struct ChatLine {
  std::string text;
  FLinearColor color;
  bool bold;
};

// A fresh world: no creatures, no content, time 0, the local player an administrator, no chat.
// The host's current world is this game's world.
SANDBOX_API void ResetGame();
SANDBOX_API UWorld& World();

SANDBOX_API APrimalDinoCharacter* Spawn(std::string_view species, float quality, float maturation,
                                        bool with_status);
SANDBOX_API APrimalDinoCharacter* FindDino(std::int32_t id);
SANDBOX_API std::string Species(const APrimalDinoCharacter* dino);

// Makes a path loadable; loading it again gives the same object.
SANDBOX_API UObject* AddContent(std::string_view path);
// The game's object loader: registered content only, else null.
SANDBOX_API UObject* LoadContent(std::string_view path);
// How many loads the module asked for since the last reset.
SANDBOX_API std::uint64_t LoadRequests();

// The game's actions. Each calls its function through the hookable entry and gives back what the
// game's own function received.
SANDBOX_API CuddleCall RequestCuddle(APrimalDinoCharacter* dino, double due, std::uint8_t kind,
                                     UObject* food);
SANDBOX_API QualityCall SetImprinting(APrimalDinoCharacter* dino, float quality);
SANDBOX_API QualityCall AddImprinting(APrimalDinoCharacter* dino, float amount);

// The game's own nursery: how it asks for cuddles and what one is worth without the module.
// Requests fall due every 8 hours of world time, and their kinds take turns: a plain cuddle, then
// a food (the game asks for kibble), then a walk. A completed cuddle adds a tenth of full
// imprinting, never more than what is left.
inline constexpr double GameCuddleInterval = 8 * 3600;
inline constexpr float GameCuddleGain = 0.1f;
inline constexpr const char* GameFood = "/Game/Nursery/Foods/Kibble.Kibble_C";
SANDBOX_API CuddleCall RequestNextCuddle(APrimalDinoCharacter* dino);
// The kind the game asked for in its last request to the baby; a detour may have stored another.
SANDBOX_API std::uint8_t RequestedKind(const APrimalDinoCharacter* dino);
SANDBOX_API QualityCall CompleteCuddle(APrimalDinoCharacter* dino);

SANDBOX_API AShooterPlayerController* LocalPlayer();
SANDBOX_API void SetAdmin(bool admin);
// Chat lines the local player received since the last call.
SANDBOX_API std::vector<ChatLine> TakeChat();

}  // namespace Game
