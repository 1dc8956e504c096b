// The rest of the host: shared log sinks, the working directory, the current world, and the record
// of what the module asked of the host.
#include <filesystem>
#include <string>
#include <vector>

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include "sandbox/host/HostState.h"

namespace {

constexpr const char* LinePattern = "%D %R [%n][%l] %v";

std::vector<spdlog::sink_ptr> DefaultSinks() {
  auto err = std::make_shared<spdlog::sinks::stderr_sink_mt>();
  err->set_pattern(LinePattern);
  return {err};
}

std::shared_ptr<spdlog::logger>& HostLoggerHandle() {
  static std::shared_ptr<spdlog::logger> logger;
  return logger;
}

void RenewHostLogger() {
  auto& sinks = GetLogSinks();
  auto logger = std::make_shared<spdlog::logger>("ArkApi", sinks.begin(), sinks.end());
  logger->flush_on(spdlog::level::info);
  HostLoggerHandle() = std::move(logger);
}

std::string& CurrentDir() {
  static std::string dir = std::filesystem::current_path().string();
  return dir;
}

UWorld*& CurrentWorld() {
  static UWorld* world = nullptr;
  return world;
}

std::vector<std::string>& Events() {
  static std::vector<std::string> events;
  return events;
}

class ApiUtils final : public ArkApi::IApiUtils {
 public:
  UWorld* GetWorld() const override { return CurrentWorld(); }
};

}  // namespace

std::vector<spdlog::sink_ptr>& GetLogSinks() {
  static std::vector<spdlog::sink_ptr> sinks = DefaultSinks();
  return sinks;
}

namespace ArkApi {

IApiUtils& GetApiUtils() {
  static ApiUtils utils;
  return utils;
}

std::string Tools::GetCurrentDir() { return CurrentDir(); }

}  // namespace ArkApi

namespace Sandbox {

spdlog::logger& HostLogger() {
  if (!HostLoggerHandle()) RenewHostLogger();
  return *HostLoggerHandle();
}

void AddLogFile(const std::string& path) {
  auto file = std::make_shared<spdlog::sinks::basic_file_sink_mt>(path);
  file->set_pattern(LinePattern);
  GetLogSinks().push_back(std::move(file));
  RenewHostLogger();
}

void LogHostWarning(std::string_view line) { HostLogger().warn("{}", line); }

void SetCurrentDir(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  CurrentDir() = std::move(dir);
}

void SetWorld(UWorld* world) { CurrentWorld() = world; }

void RecordHostEvent(std::string_view what, std::string_view name) {
  std::string event(what);
  event += ' ';
  event += name;
  Events().push_back(std::move(event));
}

std::vector<std::string> HostEvents() { return Events(); }
void ClearHostEvents() { Events().clear(); }

void ResetHost() {
  ResetHooks();
  ResetCommands();
  ClearHostEvents();
  GetLogSinks() = DefaultSinks();
  RenewHostLogger();
  CurrentDir() = std::filesystem::current_path().string();
}

}  // namespace Sandbox
