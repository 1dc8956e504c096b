// Arbitrary bytes as config.json, through the real reading code: ReadConfig never crashes and never
// throws; when it gives false it has logged exactly one line, within the bound of a log line, and
// left the running configuration as it was.
#include <spdlog/sinks/ostream_sink.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "plugin/config/ConfigFile.h"
#include "plugin/lifecycle/Lifecycle.h"
#include "plugin/lifecycle/LogLine.h"
#include "sandbox/host/Runtime.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "config reader: %s\n", what);
  std::abort();
}

std::ostringstream log_text;
std::filesystem::path config_file;

void SetUp() {
  const char* shm = "/dev/shm";
  const auto base = std::filesystem::exists(shm) ? std::filesystem::path(shm)
                                                 : std::filesystem::temp_directory_path();
  const auto dir = base / ("nestkeep-config-fuzz-" + std::to_string(getpid()));
  config_file = ConfigPath(dir.string());
  std::filesystem::create_directories(config_file.parent_path());
  Sandbox::SetCurrentDir(dir.string());
  PluginLogger() = std::make_shared<spdlog::logger>(
      "Nestkeep", std::make_shared<spdlog::sinks::ostream_sink_st>(log_text));
  PluginLogger()->set_pattern("%v");
}

// A running configuration the input must not disturb when it fails.
void SetRunning() {
  SpeciesTable = {{"Mossback", {30, 0.25f}}, {"Glimmerwing", {8, 0.1f}}};
  FoodList = {u"/Game/Nursery/Foods/Berries.Berries_C"};
  KeepWalkCuddle = true;
}

bool IsRunning() {
  return SpeciesTable.size() == 2 && SpeciesTable.count("Mossback") &&
         SpeciesTable["Mossback"].CuddleIntervalTime == 30 && FoodList.size() == 1 &&
         FoodList[0] == u"/Game/Nursery/Foods/Berries.Berries_C" && KeepWalkCuddle;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = (SetUp(), true);
  (void)ready;
  std::ofstream(config_file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  SetRunning();
  log_text.str("");
  bool read = false;
  try {
    read = ReadConfig();
  } catch (...) {
    Fail("an exception left ReadConfig");
  }
  const std::string log = log_text.str();
  const auto lines = std::count(log.begin(), log.end(), '\n');
  if (read && lines != 0) Fail("a successful read logged");
  if (!read && lines != 1) Fail("a failed read did not log exactly one line");
  if (!read && !IsRunning()) Fail("a failed read changed the running configuration");
  if (log.size() > MaxLogText + 1) Fail("a log line is longer than its bound");
  return 0;
}
