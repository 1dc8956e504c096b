// The game's own types as the module sees them.
//
// Records shared with the game (FString, FName, the colours, BitField, RCONPacket) are spelled out
// here because their layout is the engine's and both sides read and write them. Everything else the
// module handles only by pointer, so it stays opaque; the host completes those types.
#pragma once

#include <cstddef>
#include <cstdint>

// The engine's 16-bit character. Named for this project: the Windows headers have a TCHAR of their
// own.
using EngineChar = char16_t;

// The engine's growable string of 16-bit units. Its buffer belongs to the engine's allocator.
// The constructors and the destructor are each side's own: the module's live in plugin/engine,
// the game's in the host.
struct FString {
  EngineChar* data = nullptr;
  std::int32_t count = 0;     // units in use, the terminating zero included; 0 when empty
  std::int32_t capacity = 0;  // units allocated

  FString() = default;
  explicit FString(const char* narrow);
  explicit FString(const EngineChar* wide);
  FString(const FString&) = delete;
  FString& operator=(const FString&) = delete;
  ~FString();
};
static_assert(sizeof(FString) == 16);
static_assert(offsetof(FString, data) == 0);
static_assert(offsetof(FString, count) == 8);
static_assert(offsetof(FString, capacity) == 12);

// A handle into the engine's name table.
struct FName {
  std::int32_t ComparisonIndex = 0;
  std::int32_t Number = 0;
};

// 8-bit colour, stored blue, green, red, alpha.
struct FColor {
  std::uint8_t B, G, R, A;
};

// Linear colour, each channel 0.0 to 1.0.
struct FLinearColor {
  float R, G, B, A;
};

// Where a flag bit of a game object lives: the address of the 32-bit word that holds it, its bit
// position and its width.
struct BitField {
  std::uintptr_t offset;
  std::uint32_t bit_position;
  std::uint32_t num_bits;
};

// One request received over RCON.
struct RCONPacket {
  std::int32_t Length;
  std::int32_t Id;
  std::int32_t Type;
  FString Body;
};
static_assert(offsetof(RCONPacket, Id) == 4);

struct UObject;
struct UClass;
struct UWorld;
struct APlayerController;
struct AShooterPlayerController;
struct APrimalDinoCharacter;
struct UPrimalCharacterStatusComponent;
struct RCONClientConnection;
