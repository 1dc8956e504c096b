// The rest of the host: shared log sinks, the working directory, the current world, and the record
// of what the module asked of the host.
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plugin/engine/Unicode.h"
#include "plugin/lifecycle/LogLine.h"
#include "sandbox/host/HostState.h"

namespace {

// A shared sink of the host, which keeps the host's own formatter. A logger's set_pattern reaches
// every sink the logger holds, and the formatter it installs is the code of whoever called it:
// once a plugin that did so is unloaded, the host's next line through the sink, or the sink's
// destruction, would run code that is gone. So the host's sinks decline any other formatter; a
// plugin's lines take the host's form, which is the module's anyway.
class HostSink final : public spdlog::sinks::sink {
 public:
  explicit HostSink(spdlog::sink_ptr inner) : inner_(std::move(inner)) {
    // The host writes its own lines in the module's form, so that one log reads alike throughout.
    inner_->set_pattern(LogPattern);
  }
  void log(const spdlog::details::log_msg& message) override { inner_->log(message); }
  void flush() override { inner_->flush(); }
  void set_pattern(const std::string&) override {}
  void set_formatter(std::unique_ptr<spdlog::formatter>) override {}

 private:
  spdlog::sink_ptr inner_;
};

std::vector<spdlog::sink_ptr> DefaultSinks() {
  return {std::make_shared<HostSink>(std::make_shared<spdlog::sinks::stderr_sink_mt>())};
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
  static std::string dir = Unicode::PathUtf8(std::filesystem::current_path());
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

std::uint64_t event_count = 0;

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
  // The file's name in the platform's own form: on Windows spdlog opens it through the wide API.
  AddLogSink(std::make_shared<spdlog::sinks::basic_file_sink_mt>(Unicode::Utf8Path(path).native()));
}

void AddLogSink(spdlog::sink_ptr sink) {
  GetLogSinks().push_back(std::make_shared<HostSink>(std::move(sink)));
  RenewHostLogger();
}

void LogHostLine(spdlog::level::level_enum level, std::string_view line) {
  HostLogger().log(level, "{}", line);
}

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
  ++event_count;
}

std::uint64_t HostEventCount() { return event_count; }

std::vector<std::string> HostEvents() { return Events(); }
void ClearHostEvents() { Events().clear(); }

void ResetHost() {
  ResetHooks();
  ResetCommands();
  ClearHostEvents();
  GetLogSinks() = DefaultSinks();
  RenewHostLogger();
  CurrentDir() = Unicode::PathUtf8(std::filesystem::current_path());
}

}  // namespace Sandbox
