// Everything the module asks of its host: the log sinks, the working directory, detours, command
// registries, the current world, and name-based resolution of game fields, flag bits and functions.
//
// This folder is the module's only door to the host and the game. Names are narrow text passed as
// std::string_view, so resolving one costs no allocation; the module resolves every name on every
// use and keeps no address.
#pragma once

#include <spdlog/common.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/host/GameNames.h"
#include "plugin/host/GameTypes.h"

#if defined(_WIN32)
#if defined(NESTKEEP_HOST_BUILD)
#define ARK_API __declspec(dllexport)
#else
#define ARK_API __declspec(dllimport)
#endif
#else
#define ARK_API __attribute__((visibility("default")))
#endif

namespace ArkApi {

using ConsoleCommand = std::function<void(APlayerController*, FString*, bool)>;
using RconCommand = std::function<void(RCONClientConnection*, RCONPacket*, UWorld*)>;

class ARK_API IHooks {
 public:
  virtual ~IHooks() = default;
  // Takes a detour out again; from then on the game no longer calls it.
  virtual bool DisableHook(std::string_view function_name, void* detour) = 0;
  // Puts a detour in front of a game function. *original receives what the detour must call to
  // reach the game's own function.
  virtual bool SetHook(std::string_view function_name, void* detour, void** original) = 0;
};

class ARK_API ICommands {
 public:
  virtual ~ICommands() = default;
  // The host copies what it keeps of the name and the handler.
  virtual void AddConsoleCommand(const FString& command, const ConsoleCommand& callback) = 0;
  virtual void AddRconCommand(const FString& command, const RconCommand& callback) = 0;
  virtual bool RemoveConsoleCommand(const FString& command) = 0;
  virtual bool RemoveRconCommand(const FString& command) = 0;
};

class ARK_API IApiUtils {
 public:
  virtual ~IApiUtils() = default;
  virtual UWorld* GetWorld() const = 0;
};

ARK_API IHooks& GetHooks();
ARK_API ICommands& GetCommands();
ARK_API IApiUtils& GetApiUtils();

namespace Tools {
// The server's working directory, without a trailing separator.
ARK_API std::string GetCurrentDir();
}  // namespace Tools

}  // namespace ArkApi

// The host's shared log sinks; every plugin writes through the same ones.
ARK_API std::vector<spdlog::sink_ptr>& GetLogSinks();

// The address of a field of a game object, or of a game function, by "Class.Member" name.
ARK_API void* GetAddress(const void* object, std::string_view field_name);
ARK_API void* GetAddress(std::string_view function_name);

// Where a flag bit of a game object lives.
ARK_API BitField GetBitField(const void* object, std::string_view field_name);

// Typed forms of the lookups above. They resolve afresh on every call.
template <class T>
T* GetField(const void* object, std::string_view field_name) {
  return static_cast<T*>(GetAddress(object, field_name));
}

template <class Signature>
Signature* GetFunction(std::string_view function_name) {
  return reinterpret_cast<Signature*>(GetAddress(function_name));
}

// Detour installation in the types of the function and its slot.
template <class Signature>
bool SetHook(std::string_view function_name, Signature* detour, Signature** original) {
  return ArkApi::GetHooks().SetHook(function_name, reinterpret_cast<void*>(detour),
                                    reinterpret_cast<void**>(original));
}

template <class Signature>
bool DisableHook(std::string_view function_name, Signature* detour) {
  return ArkApi::GetHooks().DisableHook(function_name, reinterpret_cast<void*>(detour));
}
