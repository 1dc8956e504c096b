// Start-up and shutdown. What PluginLoad sets up, PluginUnload takes down in reverse.
#include "plugin/lifecycle/Lifecycle.h"

#include "plugin/commands/Commands.h"
#include "plugin/config/Config.h"
#include "plugin/hooks/Hooks.h"
#include "plugin/host/Host.h"
#include "plugin/lifecycle/LogLine.h"

std::shared_ptr<spdlog::logger>& PluginLogger() {
  static std::shared_ptr<spdlog::logger> logger;
  return logger;
}

void LogError(std::string_view text, std::size_t whole) {
  if (auto& logger = PluginLogger())
    logger->log(spdlog::level::err, spdlog::string_view_t(CutLogText(text, whole)));
}

void CreatePluginLogger() {
  auto& sinks = GetLogSinks();
  PluginLogger() = std::make_shared<spdlog::logger>("Nestkeep", sinks.begin(), sinks.end());
  PluginLogger()->set_pattern(LogPattern, spdlog::pattern_time_type::local);
  PluginLogger()->flush_on(spdlog::level::info);
}

void PluginLoad() {
  CreatePluginLogger();
  InstallHooks();
  ReadConfig();
  RegisterCommands();
}

void PluginUnload() {
  // This host can still dispatch a command after the module is gone, so the commands go too.
  RemoveCommands();
  RemoveHooks();
}

bool ModuleEntry(unsigned long reason) {
  switch (reason) {
    case 1:
      PluginLoad();
      break;
    case 0:
      PluginUnload();
      break;
    default:
      break;
  }
  return true;
}
