// The reload command, on the console and over RCON, and its replies.
#pragma once

#include <fmt/format.h>

#include <cstdint>

#include "plugin/host/GameTypes.h"

// 8-bit colour of every reply: opaque white.
extern const FColor ReplyColor;

// The linear colour the game is given for an 8-bit colour.
FLinearColor ToLinearColor(FColor color);

void RegisterCommands();
void RemoveCommands();

void ReloadConsoleCommand(APlayerController* player, FString* command, bool flag);
void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);

void SendChatMessageText(AShooterPlayerController* player, FLinearColor color, const char* text);

// One chat line to one player, formatted with fmt.
template <class... Args>
void SendChatMessage(AShooterPlayerController* player, FLinearColor color,
                     fmt::format_string<Args...> format, Args&&... args) {
  if (!player) return;
  SendChatMessageText(player, color, fmt::format(format, std::forward<Args>(args)...).c_str());
}

void SendRconReply(RCONClientConnection* connection, std::int32_t id, std::int32_t type,
                   FString* message);
