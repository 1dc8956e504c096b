// What an administrator sees of the sandbox: options, console sessions, replies and log lines;
// and the console's line splitting, which those sessions go through.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <thread>

#include "plugin/engine/Unicode.h"
#include "sandbox/console/LineReader.h"
#include "tests/SandboxProcess.h"
#include "tests/support/Match.h"
#include "tests/support/NonRegularFile.h"
#include "tests/support/RconClient.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

const char* Config = R"({
  "General": {"ReplaceCuddleTypeWalk": true},
  "Dinolist": {"Mossback": {"CuddleIntervalTime": 30, "CuddleIncreasePercent": 0.25}},
  "Footlist": ["Blueprint'/Game/Nursery/Foods/Berries.Berries'"]
})";

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeServerFolder(std::string("session-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void WriteConfig(const std::string& text) { ::WriteConfig(dir_, text); }

  SandboxRun Run(const std::string& input, std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"--dir", dir_.string()});
    return RunSandbox(options, input);
  }

  std::filesystem::path dir_;
};

TEST_F(Session, LoadsUnloadsAndCountsEngineBlocks) {
  SandboxRun run = Run("memory\nunload\nload\nmemory\nbogus\nquit\n");
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.out.size(), 6u);
  EXPECT_TRUE(FullMatch(run.out[1], "memory blocks=[0-9]+"));
  EXPECT_THAT(run.out, ElementsAre("ready", run.out[1], "unloaded", "loaded", run.out[1],
                                   "unknown command: bogus"));
}

TEST_F(Session, OptionsAndExitStatus) {
  // Things at a path that no option naming a file takes; where the platform has none, their rows
  // are left out.
  const std::string pipe = (dir_ / "pipe").string(), zero = (dir_ / "zero").string();
  const bool special = MakePipeAt(pipe) && MakeLinkToEndlessDevice(zero);
  const std::string content = (dir_ / "content.txt").string();
  const std::string content_over = (dir_ / "content-over.txt").string();
  std::ofstream(content_over).close();
  std::filesystem::resize_file(content_over, (64 << 20) + 1);
  std::ofstream(content).close();
  std::filesystem::resize_file(content, 64 << 20);
  const std::string host_library = BinDir() + "/" NESTKEEP_HOST_FILE;
  struct Case {
    std::vector<std::string> options;
    int status;
    const char* stdout_has;
    std::string stderr_has;
    bool needs_special = false;
    const char* input = "";
  } cases[] = {
      {{"--help"}, 0, "--rcon-port", ""},
      {{"--version"}, 0, "nestkeep-sandbox " NESTKEEP_VERSION "\n", ""},
      {{"--bogus"}, 2, "", "--bogus"},
      {{"--dir"}, 2, "", "--dir"},
      {{"--rcon-port", "70000", "--rcon-password", "x"}, 2, "", "--rcon-port"},
      {{"--rcon-port", "0"}, 2, "", "password"},
      {{"--rcon-password", "x"}, 2, "", "--rcon-password without --rcon-port"},
      {{"--dir", "/nonexistent/server"}, 2, "", "--dir is not a directory"},
      {{"--demo", "--dir", NESTKEEP_SOURCE_DIR "/README.md"}, 2, "", "--dir is not a directory"},
      {{"--seed", "-1"}, 2, "", "--seed"},
      {{"--content", "/"}, 2, "", "--content"},
      {{"--log", dir_.string()}, 2, "", "--log"},  // a folder is no file to write
      {{"--log", pipe}, 2, "", "--log is not a regular file", true},
      {{"--content", pipe}, 2, "", "--content is not a regular file", true},
      {{"--content", zero}, 2, "", "--content is not a regular file", true},
      {{"--content", content}, 0, "ready", ""},
      {{"--content", content_over}, 2, "", "--content is larger than 64 MiB (67108865 bytes)"},
      {{"--rcon-port", "0", "--rcon-password", std::string(4087, 'x')},
       2,
       "",
       "--rcon-password is longer than one RCON packet can carry (4086 bytes)"},
      {{"--rcon-port", "0", "--rcon-password", std::string(4086, 'x')},
       0,
       "ready",
       "",
       false,
       "quit\n"},
      {{"--module", "/nonexistent/libNestkeep.so"}, 1, "", Shown("/nonexistent/libNestkeep.so")},
      {{"--module", dir_.string()}, 1, "", "not a regular file"},
      {{"--module", pipe}, 1, "", "not a regular file", true},
      {{"--module", host_library}, 1, "", "not a Nestkeep module"},
      {{}, 0, "ready", ""},  // the end of input ends it, like quit
  };
  for (const Case& c : cases) {
    if (c.needs_special && !special) continue;
    SandboxRun run = RunSandbox(c.options, c.input);
    const std::string all_out = Joined(run.out), all_err = Joined(run.err);
    EXPECT_EQ(run.status, c.status) << c.options[0];
    EXPECT_THAT(all_out, HasSubstr(c.stdout_has)) << c.options[0];
    EXPECT_THAT(all_err, HasSubstr(c.stderr_has)) << c.options[0];
    if (c.status != 0) {
      EXPECT_EQ(run.err.size(), 1u) << all_err;
    }
  }
}

// A server folder may have any name: every path the sandbox and the checker take is Unicode text,
// on Windows too, whose narrow code page holds few of the world's letters.
TEST(AnyFolderName, ServesEveryPathTheSandboxAndTheCheckerTake) {
  for (const char* name : {"café", "José", "日本語"}) {
    SCOPED_TRACE(name);
    const std::filesystem::path server = MakeServerFolder(name);
    const std::string dir = Unicode::PathUtf8(server);
    WriteConfig(server, Config);
    std::ofstream(server / "content.txt") << "/Game/Nursery/Foods/Berries.Berries_C\n";
    std::filesystem::copy_file(Unicode::Utf8Path(BinDir() + "/" NESTKEEP_MODULE_FILE),
                               server / NESTKEEP_MODULE_FILE);
    SandboxRun run = RunSandbox({"--dir", dir, "--content", dir + "/content.txt", "--log",
                                 dir + "/log.txt", "--module", dir + "/" NESTKEEP_MODULE_FILE},
                                "spawn Mossback\ncuddle 1 1\nrcon Nestkeep.reload\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out,
                ElementsAre("ready", "spawned 1",
                            "cuddle 1 due=1800 kind=1 food=/Game/Nursery/Foods/Berries.Berries_C",
                            "rcon id=1 type=0: Successfully reloaded!\\n"));
    EXPECT_THAT(run.err, ElementsAre());
    EXPECT_TRUE(std::filesystem::is_regular_file(server / "log.txt"));
    const std::string config = Unicode::PathUtf8(ConfigPath(server));
    SandboxRun check = RunProgram("nestkeep-check", {config}, "");
    EXPECT_EQ(check.status, 0);
    EXPECT_THAT(check.out, ::testing::Contains(Shown(config) +
                                               ": the module would load this file (0 warnings)"));
    std::filesystem::remove_all(server);
  }
}

TEST_F(Session, TheModuleChangesListedSpeciesOnly) {
  WriteConfig(Config);
  SandboxRun run =
      Run("content /Game/Nursery/Foods/Berries.Berries_C\n"
          "spawn Mossback\n"
          "spawn Thornhopper quality=0.5 maturation=3600\n"
          "time 100\n"
          "cuddle 1 2\n"
          "cuddle 2 2\n"
          "imprint 1 add 0.01\n"
          "imprint 2 add 0.01\n"
          "imprint 1 set 0.9\n"
          "show 1\n"
          "unload\n"
          "cuddle 1 1\n"
          "imprint 1 add 0.01\n"
          "cuddle 0 1\n"
          "imprint 0 set 0.5\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_THAT(
      run.out,
      ElementsAre(
          "ready", "content /Game/Nursery/Foods/Berries.Berries_C", "spawned 1", "spawned 2",
          "time 100", "cuddle 1 due=1900 kind=1 food=/Game/Nursery/Foods/Berries.Berries_C",
          "cuddle 2 due=28900 kind=2 food=none", "imprint 1 added=0.25 quality=0.25",
          "imprint 2 added=0.00999999978 quality=0.50999999", "imprint 1 set=0.5 quality=0.5",
          "dino 1 Mossback quality=0.5 maturation=86400 due=1900 kind=1 "
          "food=/Game/Nursery/Foods/Berries.Berries_C",
          "unloaded", "cuddle 1 due=28900 kind=1 food=none",
          "imprint 1 added=0.00999999978 quality=0.50999999", "cuddle 0 due=28900 kind=1 food=none",
          "imprint 0 set=0.5 quality=none"));
}

TEST_F(Session, WrongArgumentsChangeNothing) {
  SandboxRun run =
      Run("spawn Mossback quality=0.5\n"
          "spawn\n"
          "spawn Mossback quality=lots\n"
          "spawn Mossback colour=red\n"
          "cuddle 9 1\n"
          "cuddle 1 256\n"
          "cuddle 1 -1\n"
          "cuddle 1 1 /Game/NotThere\n"
          "cuddle x 1\n"
          "imprint 1 set\n"
          "imprint 1 mul 2\n"
          "imprint 1 add 1e99\n"
          "time soon\n"
          "advance\n"
          "admin maybe\n"
          "content\n"
          "rcon\n"
          "load\n"
          "show 1\n"
          "SHOW 1\n"
          "help me\n");
  ASSERT_EQ(run.out.size(), 22u);
  for (std::size_t i = 2; i <= 18; ++i)
    EXPECT_THAT(run.out[i], ::testing::StartsWith("error: ")) << i;
  EXPECT_EQ(run.out[19], "dino 1 Mossback quality=0.5 maturation=86400 due=0 kind=0 food=none");
  EXPECT_EQ(run.out[20], run.out[19]);  // command words in any case
  EXPECT_EQ(run.out[21], "error: usage: help");
}

// Every command on a line of its own, its texts in one column two blanks after the longest
// synopsis, and each synopsis the very usage that the command gives for wrong arguments.
TEST_F(Session, HelpListsEveryCommandOnALineOfItsOwn) {
  const std::vector<std::string> words{"spawn",   "cuddle",  "imprint", "show", "time",
                                       "advance", "content", "admin",   "rcon", "unload",
                                       "load",    "memory",  "help",    "quit", "COMMAND"};
  // Too many arguments for every command but rcon, which runs them, and quit.
  std::string input = "help\n";
  for (const std::string& word : words)
    if (word != "rcon" && word != "quit" && word != "COMMAND") input += word + " 1 2 3 4 5 6\n";
  SandboxRun run = Run(input);
  ASSERT_GE(run.out.size(), words.size() + 1);
  std::vector<std::string> listed;
  std::map<std::string, std::string> synopses;
  std::size_t widest = 0, column = 0;
  for (std::size_t i = 1; i <= words.size(); ++i) {
    const std::string& line = run.out[i];
    EXPECT_TRUE(FullMatch(line, "[^ ]+( [^ ]+)*  +[^ ].*"));
    listed.push_back(line.substr(0, line.find(' ')));
    const std::string synopsis = line.substr(0, line.find("  "));
    synopses[listed.back()] = synopsis;
    widest = std::max(widest, synopsis.size());
    const std::size_t text = line.find_first_not_of(' ', synopsis.size());
    if (i > 1) {
      EXPECT_EQ(text, column) << line;
    }
    column = text;
  }
  EXPECT_EQ(column, widest + 2);
  EXPECT_THAT(listed, ::testing::UnorderedElementsAreArray(words));
  for (std::size_t i = words.size() + 1; i < run.out.size(); ++i) {
    const std::string& usage = run.out[i];
    const std::size_t at = std::string("error: usage: ").size();
    EXPECT_EQ(usage, "error: usage: " + synopses[usage.substr(at, usage.find(' ', at) - at)]);
  }
  EXPECT_EQ(run.out.size(), 2 * words.size() - 2);
}

// One session, a line each: numbers are read as C reads them, cuddle kinds over their whole range;
// the world time stays finite.
TEST_F(Session, NumbersAreReadAsCReadsThem) {
  struct Case {
    const char* line;
    const char* prints;
  } cases[] = {
      {"spawn Mossback quality=1e-50", "spawned 1"},
      {"cuddle 1 255", "cuddle 1 due=28800 kind=255 food=none"},
      {"cuddle 1 0", "cuddle 1 due=28800 kind=0 food=none"},
      {"imprint 1 set 1e-50", "imprint 1 set=0 quality=0"},  // rounds to 0 as a float
      {"imprint 1 add 1e-40", "imprint 1 added=9.9999461e-41 quality=9.9999461e-41"},
      {"imprint 1 set 0x1p-2", "imprint 1 set=0.25 quality=0.25"},
      {"imprint 1 add 1e39", "error: amount is not a number: 1e39"},  // beyond a float
      {"imprint 1 set nan", "imprint 1 set=nan quality=nan"},
      {"imprint 1 set -inf", "imprint 1 set=-inf quality=-inf"},
      {"time 1e-320", "time 9.9998886718268301e-321"},
      {"time 1.5e308", "time 1.5e+308"},
      {"time nan", "error: not a time in seconds: nan"},
      {"time inf", "error: not a time in seconds: inf"},
      {"time 1e400", "error: not a time in seconds: 1e400"},
      {"advance inf", "error: not a time in seconds: inf"},
      {"advance -inf", "error: not a time in seconds: -inf"},
      {"advance nan", "error: not a time in seconds: nan"},
      {"advance 1e308", "error: advancing the world time 1.5e+308 by 1e308 leaves no finite time"},
      {"time", "time 1.5e+308"},
  };
  std::string input;
  std::vector<std::string> expected{"ready"};
  for (const Case& c : cases) {
    input += std::string(c.line) + "\n";
    expected.push_back(c.prints);
  }
  EXPECT_EQ(Run(input).out, expected);
}

TEST_F(Session, ReloadOnTheConsoleAndOverTheLocalRconConnection) {
  WriteConfig(Config);
  SandboxRun run =
      Run("Nestkeep.reload\r\n"
          "\xEF\xBB\xBFrcon Nestkeep.reload\r\n"
          "rcon memory\n"
          "admin off\n"
          "nestkeep.RELOAD\n"
          "rcon nestkeep.reload\n"
          "admin on\n"
          "unload\n"
          "Nestkeep.reload\n"
          "rcon Nestkeep.reload\n"
          "load\n"
          "Nestkeep.reload\n");
  EXPECT_THAT(run.out, ElementsAre("ready", "chat 1 1 1 1 bold=0: Successfully reloaded!",
                                   "rcon id=1 type=0: Successfully reloaded!\\n",
                                   "rcon id=2 type=0: memory blocks=0", "admin off",
                                   "rcon id=3 type=0: Successfully reloaded!\\n", "admin on",
                                   "unloaded", "unknown command: Nestkeep.reload",
                                   "rcon id=4 type=0: unknown command: Nestkeep.reload", "loaded",
                                   "chat 1 1 1 1 bold=0: Successfully reloaded!"));
  EXPECT_TRUE(run.err.empty());
}

// A file that would crash, block or exhaust a server only fails the reload: one log line, and the
// config in force before still decides, at start-up and on a reload alike. The costliest file to
// refuse and the costliest to load are answered soon, and cost the server little memory.
TEST_F(Session, ABadFileOnReloadKeepsTheRunningConfig) {
  const auto config = ConfigPath(dir_);
  // Puts a file of text there, made size bytes large when given.
  auto file = [&](const std::string& text, std::uintmax_t size = 0) {
    return [&, text, size] {
      WriteConfig(text);
      if (size) std::filesystem::resize_file(config, size);
      return true;
    };
  };
  // The most species a file may list, Mossback among them as in Config, and 1 KiB foods until
  // the file is as large as it may be.
  std::string largest = R"({"General": {}, "Dinolist": {"Mossback": {"CuddleIntervalTime": 30,
                           "CuddleIncreasePercent": 0.25})";
  for (int i = 1; i < 50000; ++i)
    largest +=
        ", \"S" + std::to_string(i) + R"(": {"CuddleIntervalTime": 1, "CuddleIncreasePercent": 1})";
  largest += R"(}, "Footlist": [)";
  const std::string food = "\"T'/" + std::string(1020, 'x') + "'\"";
  while (largest.size() + 2 * food.size() + 4 <= (4u << 20)) largest += food + ", ";
  largest += food + "]}";
  const struct {
    const char* what;
    std::function<bool()> put;  // false where the platform has no such thing
    const char* logged;         // none: the file loads
  } cases[] = {
      {"nested a million levels deep",
       file(R"({"General": {}, "Footlist": )" + std::string(1000000, '[') +
            std::string(1000000, ']') + "}"),
       "config.json is nested deeper than 512 levels of arrays and objects"},
      {"a pipe", [&] { return MakePipeAt(config); }, "Can't open config.json"},
      {"a link to /dev/zero", [&] { return MakeLinkToEndlessDevice(config); },
       "Can't open config.json"},
      {"over 4 MiB", file("{}", 100 << 20), "config.json is larger than 4 MiB (104857600 bytes)"},
      {"a string that never closes, of 4 MiB",
       file(R"({"General": {}, "Footlist": [")" + std::string((4 << 20) - 30, 'x')),
       "[json.exception.parse_error.101] parse error at line 1, column 4194305: syntax error while "
       "parsing value - invalid string: missing closing quote; last read: '\"xxx"},
      {"the most species and the longest foods", file(largest), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(config);
    WriteConfig(Config);
    LiveSandbox sandbox({"--dir", dir_.string()});
    ASSERT_TRUE(sandbox.Type("spawn Mossback\nimprint 1 add 0.01\n", 3));
    const auto idle = sandbox.PeakMemory();
    std::filesystem::remove(config);
    if (!c.put()) continue;
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_TRUE(sandbox.Type("Nestkeep.reload\nrcon Nestkeep.reload\nimprint 1 add 0.01\n", 6));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - sent;
    // Tight figures are the benchmark's; these hold on a loaded machine. A sanitized build is
    // slower many times over, and its own memory would count too.
    bool plain = true;
#if defined(__SANITIZE_ADDRESS__)
    plain = false;
#endif
    EXPECT_LT(took.count(), plain ? 10 : 60);
    if (const auto peak = sandbox.PeakMemory(); plain && peak && idle) {
      EXPECT_LT(*peak - *idle, 256u << 20);
    }
    const SandboxRun run = sandbox.Finish();
    EXPECT_EQ(run.status, 0);
    const std::string reply = c.logged ? "Couldn't reloaded!" : "Successfully reloaded!";
    EXPECT_THAT(run.out,
                ElementsAre("ready", "spawned 1", "imprint 1 added=0.25 quality=0.25",
                            "chat 1 1 1 1 bold=0: " + reply, "rcon id=1 type=0: " + reply + "\\n",
                            "imprint 1 added=0.25 quality=0.5"));
    ASSERT_EQ(run.err.size(), c.logged ? 2u : 0u);  // one line for each reload
    for (const std::string& line : run.err) {
      EXPECT_LE(line.size(), 1024u);
      EXPECT_THAT(LogMessage(line), ::testing::StartsWith(c.logged));
    }
    // Started with that file, the module has no species (or the file's), and the sandbox serves.
    const SandboxRun start = Run("spawn Mossback\nimprint 1 add 0.01\n");
    EXPECT_THAT(start.out,
                ElementsAre("ready", "spawned 1",
                            c.logged ? "imprint 1 added=0.00999999978 quality=0.00999999978"
                                     : "imprint 1 added=0.25 quality=0.25"));
    EXPECT_EQ(start.err.size(), c.logged ? 1u : 0u);
  }
}

TEST_F(Session, LogLinesGoToStandardErrorAndTheLogFile) {
  const std::string log = (dir_ / "server.log").string();
  SandboxRun run = Run("Nestkeep.reload\n", {"--log", log});
  ASSERT_EQ(run.err.size(), 2u);  // start-up and the reload
  for (const std::string& line : run.err) EXPECT_EQ(LogMessage(line), "Can't open config.json");
  EXPECT_EQ(ReadLines(log), run.err);
  EXPECT_THAT(run.out, ElementsAre("ready", "chat 1 1 1 1 bold=0: Couldn't reloaded!"));
}

TEST_F(Session, ContentFileAndSeedMakeFoodDrawsRepeatable) {
  WriteConfig(
      R"({"General": {}, "Dinolist": {"Mossback": {"CuddleIntervalTime": 1, "CuddleIncreasePercent": 0.1}},
                  "Footlist": ["Blueprint'/Game/A.A'", "Blueprint'/Game/B.B'", "Blueprint'/Game/C.C'"]})");
  std::ofstream(dir_ / "content.txt") << "# foods\n/Game/A.A_C\n\n  /Game/B.B_C  \n/Game/C.C_C\n";
  std::string script = "spawn Mossback\n";
  for (int i = 0; i < 12; ++i) script += "cuddle 1 1\n";
  auto foods = [&](const char* seed) {
    SandboxRun run = Run(script, {"--content", (dir_ / "content.txt").string(), "--seed", seed});
    EXPECT_EQ(run.out.size(), 14u);
    EXPECT_TRUE(run.err.empty());
    std::string seen;
    for (const std::string& l : run.out) seen += l.substr(l.rfind('=') + 1) + " ";
    return seen;
  };
  EXPECT_EQ(foods("42"), foods("42"));
  EXPECT_THAT(foods("42"), ::testing::AllOf(HasSubstr("/Game/A.A_C"), HasSubstr("/Game/B.B_C"),
                                            HasSubstr("/Game/C.C_C")));
}

TEST_F(Session, NoLineStopsTheSandbox) {
  std::string garbage;
  for (int c = 1; c < 256; ++c)
    if (c != '\n') garbage += static_cast<char>(c);
  std::string nested;
  for (int i = 0; i < 9000; ++i) nested += "rcon ";
  const std::string longest = "advance 1" + std::string((1 << 20) - 9, ' ');
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> prints;  // after `ready`
  } cases[] = {
      {"garbage, a line of 1 MiB, no final line feed",
       std::string(1 << 20, 'x') + "\n" + garbage + "\n\r\n   \n" + "spawn \xF0\x9F\x98\x80" +
           "\nshow 1\ncuddle 1 1 " + std::string(5000, '/') + "\nmemory",
       {"unknown command: " + std::string(1 << 20, 'x'),
        "unknown command: \\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08", "spawned 1",
        "dino 1 \xF0\x9F\x98\x80 quality=0 maturation=86400 due=0 kind=0 food=none",
        "error: no loadable object " + std::string(5000, '/'), "memory blocks=0"}},
      {"rcon nested 9,000 deep",
       nested + "memory\nrcon time\n",
       {"rcon id=1 type=0: error: rcon cannot run inside rcon", "rcon id=2 type=0: time 0"}},
      {"control bytes in a species name",
       "spawn Bell\x07\nspawn Del\x7F\nrcon spawn Esc\x1B[2J\nshow 1\n",
       {"error: a species name may not hold control characters (byte 0x07)",
        "error: a species name may not hold control characters (byte 0x7F)",
        "rcon id=1 type=0: error: a species name may not hold control characters (byte 0x1B)",
        "error: no creature 1"}},
      {"control bytes echoed",
       "bogus\x01\x7F\ncontent /Game/A\x1B[2J\nrcon bogus\x02\n",
       {"unknown command: bogus\\x01\\x7F", "content /Game/A\\x1B[2J",
        "rcon id=1 type=0: unknown command: bogus\\x02"}},
      {"lines of 1 MiB and of one byte more",
       longest + "\n" + longest + " \ntime\n",
       {"time 1", "error: line too long (1048577 bytes)", "time 1"}},
      {"a line of 64 MiB",
       std::string(64 << 20, 'x') + "\ntime\n",
       {"error: line too long (67108864 bytes)", "time 0"}},
      {"a last line over 1 MiB, without line feed",
       "time\n" + std::string(3 << 20, 'x'),
       {"time 0", "error: line too long (3145728 bytes)"}},
  };
  for (const Case& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    SandboxRun run = Run(c.input);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 0) << c.name;
    std::vector<std::string> expected{"ready"};
    expected.insert(expected.end(), c.prints.begin(), c.prints.end());
    EXPECT_EQ(run.out, expected) << c.name;
    EXPECT_LT(took.count(), 5) << c.name;  // work worse than linear in the input takes far longer
  }
}

// A signal acts within 2 seconds whatever waits, and input is read no faster than it runs, so a
// flood of it costs no memory. The reloads take a while each: a signal that waited behind the
// connections' queued requests would take seconds.
TEST_F(Session, ASignalEndsItPromptlyWhateverWaits) {
  std::string species;
  for (int i = 0; i < 50000; ++i)
    species += (i ? ", \"S" : "\"S") + std::to_string(i) +
               R"(": {"CuddleIntervalTime": 1, "CuddleIncreasePercent": 0.1})";
  WriteConfig(R"({"General": {}, "Dinolist": {)" + species + "}}");
  const struct {
    const char* what;
    bool flood;        // standard input written as fast as it is taken
    int rcon_clients;  // each with 100 reloads pipelined
  } cases[] = {
      {"standard input flooded", true, 0},
      {"63 RCON clients pipelining reloads", false, 63},
      {"both", true, 63},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LiveSandbox sandbox({"--dir", dir_.string(), "--rcon-port", "0", "--rcon-password", "pw"});
    ASSERT_TRUE(sandbox.Type("", 2));
    const std::string listening = sandbox.Out()[0];
    const auto port =
        static_cast<std::uint16_t>(std::stoi(listening.substr(listening.rfind(':') + 1)));
    const std::optional<std::uint64_t> memory_at_start = sandbox.PeakMemory();

    std::atomic<bool> flooding = c.flood;
    std::thread flood([&] {
      std::string lines;
      for (int i = 0; i < 10000; ++i) lines += "memory\n";
      while (flooding && sandbox.Write(lines)) {
      }
    });
    std::vector<std::unique_ptr<RconClient>> clients;
    std::vector<std::uint8_t> reloads;
    for (int i = 0; i < 100; ++i) {
      const auto packet = Rcon::Encode(i, Rcon::ExecRequest, "Nestkeep.reload");
      reloads.insert(reloads.end(), packet.begin(), packet.end());
    }
    for (int i = 0; i < c.rcon_clients; ++i) {
      clients.push_back(std::make_unique<RconClient>(port, std::chrono::seconds(5)));
      ASSERT_TRUE(clients.back()->Authenticate("pw", 1));
      clients.back()->Send(reloads);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const std::optional<std::uint64_t> memory = sandbox.PeakMemory();

    std::chrono::duration<double> took{};
    const SandboxRun run = sandbox.Terminate(took);
    flooding = false;
    flood.join();
    EXPECT_EQ(run.status, 0);
    EXPECT_LT(took.count(), 2);
    if (memory_at_start && memory) {
      EXPECT_LT(*memory - *memory_at_start, 64u << 20) << "bytes more than at start";
    }
    for (const auto& client : clients) {
      while (client->Read()) {
      }
      EXPECT_TRUE(client->Closed());
    }
    ASSERT_FALSE(run.err.empty());
    EXPECT_THAT(run.err.back(), HasSubstr("stopped by"));
  }
}

// The console's line splitting alone: the same input in pieces of any size gives the same lines.
TEST(LineReader, GivesTheSameLinesWhateverThePieces) {
  const std::string longest(Console::MaxLineBytes, 'b');
  struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> lines;  // "! " marks an error in place of a line
  } cases[] = {
      {"nothing", "", {}},
      {"empty lines, a last without line feed", "a\n\nbc\r\n\nd", {"a", "", "bc\r", "", "d"}},
      {"byte-order marks, dropped at the start of a line only",
       "\xEF\xBB\xBF"
       "a\n\xEF\xBB\xBF\nb\xEF\xBB\xBF\n\xEF\xBB\xBF\xEF\xBB\xBF",
       {"a", "", "b\xEF\xBB\xBF", "\xEF\xBB\xBF"}},
      {"the longest line, then one a byte longer",
       longest + "\n" + longest + "b\nz\n",
       {longest, "! error: line too long (1048577 bytes)", "z"}},
      {"a last line too long",
       "a\n" + longest + "bb",
       {"a", "! error: line too long (1048578 bytes)"}},
  };
  for (const Case& c : cases) {
    for (std::size_t piece :
         {std::size_t{1}, std::size_t{3}, std::size_t{4096}, c.input.size() + 1}) {
      Console::LineReader reader;
      std::vector<std::string> lines;
      auto keep = [&lines](const Console::InputLine& line) {
        lines.push_back((line.too_long ? "! " : "") + line.text);
      };
      for (std::size_t at = 0; at < c.input.size(); at += piece)
        for (const Console::InputLine& line :
             reader.Feed(std::string_view(c.input).substr(at, piece)))
          keep(line);
      if (auto last = reader.Finish()) keep(*last);
      EXPECT_EQ(lines, c.lines) << c.name << ", in pieces of " << piece;
    }
  }
}

TEST_F(Session, TheDemonstrationRaisesBabiesBothWays) {
  SandboxRun run = RunSandbox({"--demo"}, "");
  EXPECT_EQ(run.status, 0);
  const std::string all = Joined(run.out);
  EXPECT_THAT(all, HasSubstr("With Nestkeep\n"));
  EXPECT_THAT(all, HasSubstr("The game alone\n"));
  EXPECT_THAT(all, HasSubstr("walk -> food "));
  EXPECT_THAT(all, ::testing::Not(HasSubstr("\033")));  // not a terminal: no colour codes
  EXPECT_TRUE(HasMatch(all, "\nGlimmerwing +10 +10 +1h 20m +3d 08h\n"));
  EXPECT_TRUE(HasMatch(all, "\nDuskmane \\(not listed\\) +10 +10 +3d 08h +3d 08h\n"));
  EXPECT_EQ(run.out.back(), "  reply id=1 type=0: Successfully reloaded!");
  EXPECT_TRUE(run.err.empty());
  // It cleans up the folder it made.
  std::string config = run.out[1].substr(std::string("config: ").size());
  EXPECT_FALSE(std::filesystem::exists(config)) << config;
}

// A listed species' figures in the demonstration are the imprinting forecast nestkeep-check shows,
// and the module at work in the demonstration takes as many cuddles: one completed cuddle a line.
TEST_F(Session, TheDemonstrationAgreesWithTheChecker) {
  WriteConfig(R"({"General": {}, "Dinolist": {
    "Ashwing": {"CuddleIntervalTime": 8, "CuddleIncreasePercent": 0.3},
    "Brackenback": {"CuddleIntervalTime": 0, "CuddleIncreasePercent": 0.07},
    "Cindertail": {"CuddleIntervalTime": 2.5, "CuddleIncreasePercent": 0.0625}}})");
  const SandboxRun demo = RunSandbox({"--demo", "--dir", dir_.string()}, "");
  const SandboxRun check = RunProgram("nestkeep-check", {ConfigPath(dir_).string()}, "");
  EXPECT_EQ(demo.status, 0);
  EXPECT_EQ(check.status, 0);
  const std::string shown = Joined(demo.out);
  int species = 0;
  for (const std::string& line : check.out) {
    std::smatch forecast;
    if (!std::regex_match(line, forecast,
                          std::regex(R"re(  "(\w+)": full after (\d+) cuddles, (.+))re")))
      continue;
    ++species;
    const std::string name = forecast[1], cuddles = forecast[2], time = forecast[3];
    EXPECT_TRUE(HasMatch(shown, "\n" + name + " +" + cuddles + " +10  " + time + " +3d 08h\n"));
    std::size_t bars = 0;
    for (const std::string& out : demo.out)
      bars += std::regex_search(out, std::regex("#[0-9]+ " + name + " +\\[")) ? 1 : 0;
    // Once by the module, once more at its end by the game alone.
    EXPECT_EQ(std::to_string(bars - 1), cuddles) << name;
  }
  EXPECT_EQ(species, 3);
}

// The folder's own config, whatever it holds: the demonstration always ends, each baby after a
// bounded number of cuddles and lines, with a line saying why one never reaches full imprinting,
// and long names cut, so that its whole output stays small.
TEST_F(Session, TheDemonstrationUsesTheGivenFolder) {
  auto species = [](const std::string& name, const char* interval, const char* increase) {
    return R"({"General": {}, "Dinolist": {")" + name + R"(": {"CuddleIntervalTime": )" + interval +
           R"(, "CuddleIncreasePercent": )" + increase + "}}}";
  };
  const std::string never =
      "  #1 A stops after 1000 cuddles: it never reaches full imprinting "
      "with these settings ";
  const struct {
    const char* what;
    std::string config;
    std::vector<std::string> shown;  // patterns the output holds
  } cases[] = {
      {"its own species",
       species("Quillback", "60", "0.5"),
       {"\nQuillback +2 +10 +2h 00m +3d 08h\n"}},
      {"no gain and no time between requests",
       species("A", "0", "0"),
       {never + "\\(a cuddle adds nothing\\)\n", "\nA +- +10 +never +3d 08h\n",
        "\n  \\.\\.\\. +#1 A: 980 cuddles not shown\n"}},
      {"a gain too small to count",
       species("A", "1e-30", "1e-10"),
       {never + "\\(its quality stops at 0.1953%\\)\n"}},
      {"requests that never fall due",
       species("A", "1e37", "0.5"),
       {"\n  #1 A stops after 0 cuddles: it never reaches full imprinting with these settings "
        "\\(its cuddle requests never fall due\\)\n"}},
      {"a million cuddles",
       species("A", "0", "1e-6"),
       {"\n  #1 A stops after 1000 cuddles: full imprinting takes 990522 cuddles \\(0 min\\)\n"}},
      {"the longest name a file may hold",
       species(std::string(1024, 'K'), "8", "0.1"),
       {"\n  0d 01:20  #1 K{32}\\.\\.\\. \\[#{20}\\] 100%"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteConfig(c.config);
    SandboxRun run = RunSandbox({"--demo", "--dir", dir_.string()}, "");
    EXPECT_EQ(run.status, 0);
    const std::string all = Joined(run.out);
    ASSERT_LT(all.size(), 20000u);
    for (const std::string& pattern : c.shown) EXPECT_TRUE(HasMatch(all, pattern));
  }
  EXPECT_TRUE(std::filesystem::exists(ConfigPath(dir_)));
}

// An administrator's own config that the module refuses: said first, with the module's line, then
// the babies by the game alone, and exit 1.
TEST_F(Session, TheDemonstrationSaysFirstWhenTheModuleRefusesTheConfig) {
  const struct {
    const char* what;
    std::optional<std::string> config;  // none: no file
    std::string logged;
  } cases[] = {
      {"no config", std::nullopt, "Can't open config.json"},
      {"a species without its interval",
       R"({"General": {}, "Dinolist": {"Rex": {"CuddleIncreasePercent": 0.5}}})",
       "[json.exception.type_error.302] type must be number, but is null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(ConfigPath(dir_));
    if (c.config) WriteConfig(*c.config);
    SandboxRun run = RunSandbox({"--demo", "--dir", dir_.string()}, "");
    EXPECT_EQ(run.status, 1);
    ASSERT_GE(run.out.size(), 3u);
    EXPECT_TRUE(FullMatch(run.out[0], "the module refuses .*config.json; it logs:"));
    EXPECT_EQ(run.out[1], "  [Nestkeep][error] " + c.logged);
    EXPECT_EQ(run.out[2], "so the babies are raised by the game alone");
    const std::string all = Joined(run.out);
    EXPECT_THAT(all, HasSubstr("The game alone\n"));
    EXPECT_THAT(all, ::testing::Not(HasSubstr("With Nestkeep")));
    EXPECT_TRUE(HasMatch(all, "\nDuskmane +10 +3d 08h\n$"));
  }
}

}  // namespace
