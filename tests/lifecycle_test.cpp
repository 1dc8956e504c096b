// Loading and unloading the real module through the operating system's loader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/ostream_sink.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sandbox/game/Game.h"
#include "tests/SandboxProcess.h"
#include "tests/support/Match.h"

namespace {

const std::string Cuddling(GameNames::UpdateBabyCuddling);
const std::string Update(GameNames::UpdateImprintingQuality);
const std::string Added(GameNames::AddedImprintingQuality);

const std::vector<std::string> LoadEvents = {
    "SetHook " + Cuddling, "SetHook " + Update, "SetHook " + Added,
    "AddConsoleCommand Nestkeep.reload", "AddRconCommand Nestkeep.reload"};
const std::vector<std::string> UnloadEvents = {
    "RemoveConsoleCommand Nestkeep.reload", "RemoveRconCommand Nestkeep.reload",
    "DisableHook " + Cuddling, "DisableHook " + Update, "DisableHook " + Added};

class Lifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    Sandbox::ResetHost();
    Game::ResetGame();
    sink_ = std::make_shared<spdlog::sinks::ostream_sink_mt>(log_);
    Sandbox::AddLogSink(sink_);
    dir_ = MakeServerFolder("lifecycle");
    Sandbox::SetCurrentDir(dir_.string());
    module_ = BinDir() + "/" + NESTKEEP_MODULE_FILE;
  }
  void TearDown() override {
    if (Sandbox::ModuleLoaded()) Sandbox::UnloadModule();
    Sandbox::ResetHost();
    std::filesystem::remove_all(dir_);
  }

  void Load() { ASSERT_EQ(Sandbox::LoadModule(module_), ""); }
  void Unload() { ASSERT_EQ(Sandbox::UnloadModule(), ""); }

  bool Mapped() { return Sandbox::ModuleMapped(module_); }

  void WriteConfig(const std::string& text) { ::WriteConfig(dir_, text); }

  std::vector<std::string> LogLines() { return SplitLines(std::istringstream(log_.str())); }

  std::filesystem::path dir_;
  std::string module_;
  std::ostringstream log_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> sink_;
};

TEST_F(Lifecycle, AttachStartsTheModuleOnceAndDetachUndoesIt) {
  Load();
  EXPECT_EQ(Sandbox::HostEvents(), LoadEvents);
  for (const std::string& name : {Cuddling, Update, Added})
    EXPECT_EQ(Sandbox::DetourCount(name), 1u);
  EXPECT_EQ(Sandbox::ConsoleCommandNames(), std::vector<std::string>{"Nestkeep.reload"});
  EXPECT_EQ(Sandbox::RconCommandNames(), std::vector<std::string>{"Nestkeep.reload"});

  Sandbox::ClearHostEvents();
  Unload();
  EXPECT_EQ(Sandbox::HostEvents(), UnloadEvents);
  EXPECT_FALSE(Mapped()) << "the loader kept the module in memory";
  for (const std::string& name : {Cuddling, Update, Added})
    EXPECT_EQ(Sandbox::DetourCount(name), 0u);
  EXPECT_TRUE(Sandbox::ConsoleCommandNames().empty());
  EXPECT_TRUE(Sandbox::RconCommandNames().empty());
}

// Without a config the module logs its one line through the host's sinks, flushed at once: a file
// shows it while still open. Once the module has gone, nothing of its code is left in what the
// host owns: the host still logs through its shared sinks, and destroys them, as any server shuts
// down.
TEST_F(Lifecycle, TheHostLogsAndShutsDownAfterTheModuleHasGone) {
  const std::filesystem::path log_path = dir_ / "server.log";
  const std::string log_file = log_path.string();
  Sandbox::AddLogSink(std::make_shared<spdlog::sinks::basic_file_sink_mt>(log_path.native()));
  Load();
  ASSERT_EQ(LogLines().size(), 1u);  // there before anything else happens
  EXPECT_EQ(ReadLines(log_file), LogLines());
  Unload();
  ASSERT_FALSE(Mapped());
  Sandbox::LogHostLine(spdlog::level::warn, "after the module");
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(LogMessage(lines[0]), "Can't open config.json");
  EXPECT_EQ(LogMessage(lines[1], "[ArkApi][warning]"), "after the module");
  Sandbox::ResetHost();
}

TEST_F(Lifecycle, TheLoadedModuleChangesTheGameUntilUnloaded) {
  WriteConfig(
      R"({"General": {}, "Dinolist": {"Mossback": {"CuddleIntervalTime": 30, "CuddleIncreasePercent": 0.25}}})");
  Load();
  EXPECT_TRUE(LogLines().empty());
  APrimalDinoCharacter* baby = Game::Spawn("Mossback", 0.5f, 7200, true);
  Game::World().TimeSeconds = 100;
  EXPECT_EQ(Game::RequestCuddle(baby, 28900, 0, nullptr).due, 100 + 1800);
  EXPECT_EQ(Game::AddImprinting(baby, 0.01f).value, 0.25f);

  Unload();
  EXPECT_EQ(Game::RequestCuddle(baby, 28900, 0, nullptr).due, 28900);
  EXPECT_EQ(Game::AddImprinting(baby, 0.01f).value, 0.01f);

  // And back again: a fresh start reads the config anew.
  Sandbox::ClearHostEvents();
  Load();
  EXPECT_EQ(Sandbox::HostEvents(), LoadEvents);
  EXPECT_EQ(Game::RequestCuddle(baby, 28900, 0, nullptr).due, 100 + 1800);
}

TEST_F(Lifecycle, NoEngineBlockOutlivesLoadOrUnload) {
  const std::int64_t before = Sandbox::LiveBlocks();
  for (int round = 0; round < 3; ++round) {
    Load();
    EXPECT_EQ(Sandbox::LiveBlocks(), before);
    Unload();
    EXPECT_EQ(Sandbox::LiveBlocks(), before);
  }
}

TEST_F(Lifecycle, ExportsNothingButItsEntry) {
  Load();
  ASSERT_TRUE(Mapped());
  for (const char* symbol :
       {"_Z10PluginLoadv", "_Z10ReadConfigv", "_Z11InstallHooksv", "SpeciesTable"})
    EXPECT_FALSE(Sandbox::ModuleExports(module_, symbol)) << symbol;
}

}  // namespace
