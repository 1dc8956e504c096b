// The console and RCON command registries. A line names its command by its first word, matched
// without regard to letter case.
#include <algorithm>
#include <string>
#include <vector>

#include "sandbox/host/HostState.h"

namespace {

template <class Handler>
struct Command {
  std::string name;
  Handler handler;
};

std::vector<Command<ArkApi::ConsoleCommand>>& ConsoleCommands() {
  static std::vector<Command<ArkApi::ConsoleCommand>> commands;
  return commands;
}

std::vector<Command<ArkApi::RconCommand>>& RconCommands() {
  static std::vector<Command<ArkApi::RconCommand>> commands;
  return commands;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

std::string_view FirstWord(std::string_view line) {
  auto start = line.find_first_not_of(Sandbox::CommandBlanks);
  if (start == std::string_view::npos) return {};
  auto end = line.find_first_of(Sandbox::CommandBlanks, start);
  return line.substr(start, end == std::string_view::npos ? end : end - start);
}

template <class Handler>
auto Find(std::vector<Command<Handler>>& commands, std::string_view name) {
  return std::find_if(commands.begin(), commands.end(),
                      [name](const Command<Handler>& c) { return SameName(c.name, name); });
}

template <class Handler>
bool Remove(std::vector<Command<Handler>>& commands, std::string_view name) {
  auto it = Find(commands, name);
  if (it == commands.end()) return false;
  commands.erase(it);
  return true;
}

template <class Handler>
std::vector<std::string> Names(const std::vector<Command<Handler>>& commands) {
  std::vector<std::string> names;
  for (const auto& c : commands) names.push_back(c.name);
  return names;
}

class Commands final : public ArkApi::ICommands {
 public:
  void AddConsoleCommand(const FString& command, const ArkApi::ConsoleCommand& callback) override {
    std::string name = Sandbox::ToUtf8(&command);
    Sandbox::RecordHostEvent("AddConsoleCommand", name);
    ConsoleCommands().push_back({std::move(name), callback});
  }

  void AddRconCommand(const FString& command, const ArkApi::RconCommand& callback) override {
    std::string name = Sandbox::ToUtf8(&command);
    Sandbox::RecordHostEvent("AddRconCommand", name);
    RconCommands().push_back({std::move(name), callback});
  }

  bool RemoveConsoleCommand(const FString& command) override {
    std::string name = Sandbox::ToUtf8(&command);
    Sandbox::RecordHostEvent("RemoveConsoleCommand", name);
    return Remove(ConsoleCommands(), name);
  }

  bool RemoveRconCommand(const FString& command) override {
    std::string name = Sandbox::ToUtf8(&command);
    Sandbox::RecordHostEvent("RemoveRconCommand", name);
    return Remove(RconCommands(), name);
  }
};

}  // namespace

namespace ArkApi {
ICommands& GetCommands() {
  static Commands commands;
  return commands;
}
}  // namespace ArkApi

namespace Sandbox {

bool RunConsoleCommand(APlayerController* player, std::string_view line) {
  auto it = Find(ConsoleCommands(), FirstWord(line));
  if (it == ConsoleCommands().end()) return false;
  FString typed(std::string(line).c_str());
  it->handler(player, &typed, false);
  return true;
}

bool RunRconCommand(RCONClientConnection* connection, std::int32_t id, std::string_view line) {
  auto it = Find(RconCommands(), FirstWord(line));
  if (it == RconCommands().end()) return false;
  constexpr std::int32_t ExecCommand = 2;
  RCONPacket packet{static_cast<std::int32_t>(10 + line.size()), id, ExecCommand,
                    FString(std::string(line).c_str())};
  it->handler(connection, &packet, ArkApi::GetApiUtils().GetWorld());
  return true;
}

std::vector<std::string> ConsoleCommandNames() { return Names(ConsoleCommands()); }
std::vector<std::string> RconCommandNames() { return Names(RconCommands()); }

void ResetCommands() {
  ConsoleCommands().clear();
  RconCommands().clear();
}

}  // namespace Sandbox
