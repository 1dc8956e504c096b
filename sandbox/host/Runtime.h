// The sandbox's host runtime: what the module's host interface needs (name registry, engine
// allocator, name table, hooks, command registries, log sinks, working directory, current world),
// and the handles the rest of the sandbox and the tests use to drive it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/host/Host.h"

// The host runtime is one shared library: what it offers the sandbox and the tests is exported
// from it and imported by them exactly as the host operations are.
#define SANDBOX_API ARK_API

namespace Sandbox {

// ---- Name registry: "Class.Member" to a field offset, a flag bit or a function address --------
SANDBOX_API void RegisterField(std::string_view name, std::size_t offset);
SANDBOX_API void RegisterBitField(std::string_view name, std::size_t word_offset,
                                  std::uint32_t bit_position, std::uint32_t num_bits);
SANDBOX_API void RegisterFunction(std::string_view name, void* address);

// ---- Engine allocator ------------------------------------------------------------------------
SANDBOX_API void* EngineMalloc(std::uint64_t size, std::uint32_t alignment);
SANDBOX_API void* EngineRealloc(void* block, std::uint64_t size);
SANDBOX_API void EngineFree(void* block);
// Blocks allocated and not yet freed.
SANDBOX_API std::int64_t LiveBlocks();
// Allocations so far.
SANDBOX_API std::uint64_t TotalAllocations();
// The size a live block was allocated or last reallocated with.
SANDBOX_API std::uint64_t BlockSize(void* block);

// ---- Engine strings as the game makes them ---------------------------------------------------
// An FString filled from UTF-8 (decoded into 16-bit units) through the engine allocator.
SANDBOX_API void AssignUtf8(FString* out, std::string_view utf8);
// UTF-8 of an FString's units up to its first zero unit (U+FFFD for a lone surrogate).
SANDBOX_API std::string ToUtf8(const FString* s);
SANDBOX_API std::string ToUtf8(std::u16string_view units);
SANDBOX_API std::u16string FromUtf8(std::string_view utf8);

// ---- Name table ------------------------------------------------------------------------------
SANDBOX_API FName MakeName(std::string_view utf8);
SANDBOX_API std::string NameText(FName name);

// ---- Hooks -----------------------------------------------------------------------------------
// Declares a hookable game function and gives back its entry: the pointer every call of it goes
// through, which holds the newest detour or else the game's own function.
SANDBOX_API void* const* RegisterHookable(std::string_view name, void* original);
// Detours standing in front of the named function.
SANDBOX_API std::size_t DetourCount(std::string_view name);
// Makes the host refuse (or accept again) installs on the named function.
SANDBOX_API void RefuseHook(std::string_view name, bool refuse);

template <class Signature>
Signature* Entry(void* const* entry) {
  return reinterpret_cast<Signature*>(*entry);
}

// What the module asked of the host, in order: "SetHook NAME", "DisableHook NAME",
// "AddConsoleCommand NAME", "AddRconCommand NAME", "RemoveConsoleCommand NAME",
// "RemoveRconCommand NAME".
SANDBOX_API std::vector<std::string> HostEvents();
SANDBOX_API void ClearHostEvents();

// ---- Commands --------------------------------------------------------------------------------
// What separates the words of a command line, for the host's registries and the console alike. A
// carriage return is one, so that a line of a script with CRLF line ends still names its command.
inline constexpr std::string_view CommandBlanks = " \t\r";

// Runs the console command the module registered under the line's first word, if any.
SANDBOX_API bool RunConsoleCommand(APlayerController* player, std::string_view line);
// Runs the RCON command registered under the line's first word, if any, as a request with the
// given id that arrived on the connection.
SANDBOX_API bool RunRconCommand(RCONClientConnection* connection, std::int32_t id,
                                std::string_view line);
SANDBOX_API std::vector<std::string> ConsoleCommandNames();
SANDBOX_API std::vector<std::string> RconCommandNames();

// ---- The module -----------------------------------------------------------------------------
// Load and unload through the operating system's loader; each gives the loader's message on
// failure and empty text on success.
SANDBOX_API std::string LoadModule(const std::string& path);
SANDBOX_API std::string UnloadModule();
SANDBOX_API bool ModuleLoaded();
// Whether the module file at path is still mapped into the process: after an unload it must not be.
SANDBOX_API bool ModuleMapped(const std::string& path);
// Whether the mapped module at path exports a symbol of that name.
SANDBOX_API bool ModuleExports(const std::string& path, const char* symbol);

// ---- Logs, working directory, current world --------------------------------------------------
// Also append the host's log lines to a file.
SANDBOX_API void AddLogFile(const std::string& path);
// Also write the host's log lines to a sink; the host keeps its own form for them.
SANDBOX_API void AddLogSink(spdlog::sink_ptr sink);
// One line from the host itself, through its "ArkApi" logger.
SANDBOX_API void LogHostLine(spdlog::level::level_enum level, std::string_view line);
SANDBOX_API void SetCurrentDir(std::string dir);
SANDBOX_API void SetWorld(UWorld* world);

// Back to a fresh host: no detours, no commands, no refusals or events, standard error as the only
// log sink, the process's directory. Registered names, the world and the allocator's count stay.
SANDBOX_API void ResetHost();

}  // namespace Sandbox
