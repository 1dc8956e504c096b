// "Nestkeep.reload" on the console, for administrators, and over RCON.
#include "plugin/commands/Commands.h"

#include <array>
#include <cmath>

#include "plugin/config/Config.h"
#include "plugin/host/Host.h"

const FColor ReplyColor{255, 255, 255, 255};

namespace {

constexpr const char* ReloadCommand = "Nestkeep.reload";
constexpr std::int32_t ResponseValue = 0;  // the RCON packet type of a reply

// IEC 61966-2-1 decoding of each 8-bit sRGB value.
const std::array<double, 256>& SrgbToLinear() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (int v = 0; v < 256; ++v) {
      const double c = v / 255.0;
      t[static_cast<std::size_t>(v)] =
          c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  return table;
}

bool IsAdmin(APlayerController* player) {
  const BitField flag = GetBitField(player, GameNames::IsAdmin);
  if (flag.num_bits == 0 || flag.num_bits > 64 || flag.bit_position >= 64) return false;
  const std::uint64_t word = *reinterpret_cast<const std::uint32_t*>(flag.offset);
  return ((word >> flag.bit_position) & (~std::uint64_t{0} >> (64 - flag.num_bits))) != 0;
}

}  // namespace

FLinearColor ToLinearColor(FColor color) {
  const auto& linear = SrgbToLinear();
  return FLinearColor{static_cast<float>(linear[color.R]), static_cast<float>(linear[color.G]),
                      static_cast<float>(linear[color.B]),
                      static_cast<float>(color.A) * (1.0f / 255.0f)};
}

namespace {

// The two registrations of the reload command, console first: RegisterCommands adds them and
// RemoveCommands takes them out, walking this table in the same order. Each call gets a freshly
// built name, which the host copies if it keeps it.
struct CommandRow {
  void (*add)(const FString& name);
  bool (*remove)(const FString& name);
};

constexpr CommandRow CommandTable[] = {
    {[](const FString& name) {
       ArkApi::GetCommands().AddConsoleCommand(name, ArkApi::ConsoleCommand(&ReloadConsoleCommand));
     },
     [](const FString& name) { return ArkApi::GetCommands().RemoveConsoleCommand(name); }},
    {[](const FString& name) {
       ArkApi::GetCommands().AddRconCommand(name, ArkApi::RconCommand(&ReloadRconCommand));
     },
     [](const FString& name) { return ArkApi::GetCommands().RemoveRconCommand(name); }},
};

}  // namespace

void RegisterCommands() {
  for (const CommandRow& row : CommandTable) row.add(FString(ReloadCommand));
}

void RemoveCommands() {
  for (const CommandRow& row : CommandTable) row.remove(FString(ReloadCommand));
}

void ReloadConsoleCommand(APlayerController* player, FString* command, bool /*flag*/) {
  if (!player || !command) return;
  if (!IsAdmin(player)) return;
  const bool reloaded = ReadConfig();
  // The host hands every console command a player controller; the chat function takes the shooter
  // game's kind, which every player controller of this game is.
  auto* shooter = reinterpret_cast<AShooterPlayerController*>(player);
  const FLinearColor color = ToLinearColor(ReplyColor);
  if (reloaded)
    SendChatMessage(shooter, color, "Successfully reloaded!");
  else
    SendChatMessage(shooter, color, "Couldn't reloaded!");
}

void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* /*world*/) {
  if (!connection || !packet) return;
  const bool reloaded = ReadConfig();
  FString reply(reloaded ? "Successfully reloaded!\n" : "Couldn't reloaded!\n");
  SendRconReply(connection, packet->Id, ResponseValue, &reply);
}

void SendChatMessageText(AShooterPlayerController* player, FLinearColor color, const char* text) {
  FString message(text);
  GetFunction<GameFunctions::ChatDirectMessage>(GameNames::ChatDirectMessage)(player, &message,
                                                                              color, false);
}

void SendRconReply(RCONClientConnection* connection, std::int32_t id, std::int32_t type,
                   FString* message) {
  GetFunction<GameFunctions::RconSendMessage>(GameNames::RconSendMessage)(connection, id, type,
                                                                          message);
}
