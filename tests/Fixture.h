// A test fixture that puts every process-wide piece back as a freshly started server has it: the
// host (no detours, no commands), the game (an empty world), the module's configuration (empty
// tables, walk requests replaced), and a logger "Nestkeep" whose lines the test can read.
#pragma once

#include <gtest/gtest.h>
#include <spdlog/sinks/ostream_sink.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/config/Config.h"
#include "plugin/hooks/Hooks.h"
#include "plugin/lifecycle/Lifecycle.h"
#include "sandbox/game/Game.h"
#include "tests/support/Scratch.h"

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Sandbox::ResetHost();
    Game::ResetGame();
    SpeciesTable.clear();
    FoodList.clear();
    KeepWalkCuddle = false;
    log_ = std::make_shared<spdlog::sinks::ostream_sink_mt>(log_text_);
    GetLogSinks() = {log_};
    CreatePluginLogger();
    dir_ = MakeServerFolder(std::string("test-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    Sandbox::SetCurrentDir(dir_.string());
  }

  void TearDown() override {
    PluginLogger().reset();
    Sandbox::ResetHost();
    std::filesystem::remove_all(dir_);
  }

  // Writes the server's config.json.
  void WriteConfig(const std::string& text) { ::WriteConfig(dir_, text); }

  // The log lines written since the last call.
  std::vector<std::string> TakeLogLines() {
    std::vector<std::string> lines = SplitLines(std::istringstream(log_text_.str()));
    log_text_.str("");
    return lines;
  }

  std::filesystem::path dir_;

 private:
  std::ostringstream log_text_;
  std::shared_ptr<spdlog::sinks::ostream_sink_mt> log_;
};

// As HostTest, with the module's detours installed, as a server has them once it has loaded it.
class HookedTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    InstallHooks();
  }
  void TearDown() override {
    RemoveHooks();
    HostTest::TearDown();
  }
};
