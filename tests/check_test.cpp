// The real nestkeep-check as an administrator runs it, and the real sandbox on the example config.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/SandboxProcess.h"
#include "tests/support/SpecialFile.h"

namespace {

namespace fs = std::filesystem;

using Outcome = SandboxRun;

class Check : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchPath(std::string("check-") +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs a program from the build's bin directory in dir, with input on standard input.
  Outcome Start(const std::string& program, const std::vector<std::string>& args,
                const std::string& input = "") {
    return RunProgram(program, args, input, dir_.string());
  }

  Outcome Checker(const std::vector<std::string>& args) { return Start("nestkeep-check", args); }

  std::string Write(const std::string& name, const std::string& text) {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }

  static std::string Example() {
    std::ifstream in(fs::path(NESTKEEP_SOURCE_DIR) / "examples/config.json");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

using Strings = std::vector<std::string>;

TEST_F(Check, ExampleLoads) {
  const auto run = Checker({std::string(NESTKEEP_SOURCE_DIR) + "/examples/config.json"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, Strings{});
  ASSERT_GE(run.out.size(), 3u);
  EXPECT_EQ(run.out[0].rfind("Species (", 0), 0u) << run.out[0];
  EXPECT_EQ(run.out.back(),
            std::string(NESTKEEP_SOURCE_DIR) +
                "/examples/config.json: the module would load this file (0 warnings)");
}

TEST_F(Check, Summary) {
  const auto path = Write("config.json", R"({
    "General": {"ReplaceCuddleTypeWalk": false},
    "Dinolist": {"Thornhopper": {"CuddleIntervalTime": 0.5, "CuddleIncreasePercent": 0.25},
                 "Mossback ": {"CuddleIntervalTime": 12, "CuddleIncreasePercent": true}},
    "Footlist": ["Blueprint'/Game/Nursery/Foods/Berries.Berries'", "T'/Game/N\u00fcsse'"]})");
  const auto run = Checker({path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            (Strings{"Species (2):",
                     R"(  "Mossback ": cuddle every 12 min (720 s), +1 imprinting per cuddle)",
                     R"(  "Thornhopper": cuddle every 0.5 min (30 s), +0.25 imprinting per cuddle)",
                     "Foods (2), as the engine will be asked to load them:",
                     "  /Game/Nursery/Foods/Berries.Berries_C", "  /Game/N\xC3\xBCsse_C",
                     "Walk requests: kept as the game makes them (ReplaceCuddleTypeWalk false)",
                     path + ": the module would load this file (0 warnings)"}));
  EXPECT_EQ(run.err, Strings{});

  const auto bare = Checker({Write("bare.json", R"({"General": {}, "Dinolist": {}})")});
  EXPECT_EQ(bare.out.at(2),
            "Walk requests: replaced by food requests (ReplaceCuddleTypeWalk not given, so true)");
}

// What the module would log, after "error: ", and the exit status.
TEST_F(Check, Failures) {
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"",
       "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while "
       "parsing value - unexpected end of input; expected '[', '{', or a literal"},
      {R"({"Footlist": ["Berry"]})", R"(Footlist element "Berry" is not of the form Type'Path')"},
      {R"({"Dinolist": {}})", "[json.exception.type_error.306] cannot use value() with null"},
      // The module reads nothing of this; its verdict, and so the checker's, is that it is too
      // deep.
      {R"({"General": {}, "Notes": )" + std::string(1000000, '[') + std::string(1000000, ']') + "}",
       "config.json is nested deeper than 512 levels of arrays and objects"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto path = Write("broken.json", c.text);
    const auto run = Checker({path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Strings{});
    ASSERT_GE(run.err.size(), 2u);
    EXPECT_EQ(run.err.front(), "error: " + c.message);
    EXPECT_EQ(run.err.back(), path + ": the module would log this line and not use the file");
  }
}

TEST_F(Check, BrokenExample) {
  std::string text = Example();
  const auto at = text.find("\"Blueprint'/Game/Nursery/Foods/Berries.Berries'\"");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, std::string("\"Blueprint'/Game/Nursery/Foods/Berries.Berries'\"").size(), "42");
  const auto run = Checker({Write("config.json", text)});
  EXPECT_EQ(run.status, 1);
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err[0],
            "error: [json.exception.type_error.302] type must be string, but is number");
}

// Hints about keys still come with a failure: they are often its cause.
TEST_F(Check, FailureWithHint) {
  const auto path = Write(
      "config.json",
      R"({"General": {}, "Dinolist": {"Mossback": {"cuddleIntervalTime": 1, "CuddleIncreasePercent": 0.1}}})");
  const auto run = Checker({path});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.err,
      (Strings{
          "error: [json.exception.type_error.302] type must be number, but is null",
          R"(warning: key "cuddleIntervalTime" in "Dinolist/Mossback" differs from "CuddleIntervalTime" only in letter case; keys are case-sensitive, so it is ignored)",
          path + ": the module would log this line and not use the file"}));
}

TEST_F(Check, CannotOpen) {
  const auto missing = Checker({(dir_ / "nothing.json").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(missing.err,
            (Strings{"error: Can't open config.json",
                     (dir_ / "nothing.json").string() + ": No such file or directory"}));
  const auto directory = Checker({dir_.string()});
  EXPECT_EQ(directory.status, 2);
  EXPECT_EQ(directory.err.at(1), dir_.string() + ": it is a directory");
  // Neither the module nor the checker waits for a writer.
  if (!MakePipeAt(dir_ / "pipe.json")) return;
  const auto pipe = Checker({(dir_ / "pipe.json").string()});
  EXPECT_EQ(pipe.status, 2);
  EXPECT_EQ(pipe.err.at(1), (dir_ / "pipe.json").string() + ": it is not a regular file");
}

TEST_F(Check, DefaultPathIsTheServers) {
  const auto none = Checker({});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err.at(1), "./ArkApi/Plugins/Nestkeep/config.json: No such file or directory");
  Write("ArkApi/Plugins/Nestkeep/config.json", R"({"General": {}, "Footlist": ["T'/A'"]})");
  const auto found = Checker({});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out.back(),
            "./ArkApi/Plugins/Nestkeep/config.json: the module would load this file (1 warning)");
}

TEST_F(Check, Arguments) {
  const auto help = Checker({"--help"});
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.out.empty());
  EXPECT_EQ(help.out[0], "usage: nestkeep-check [PATH]");
  EXPECT_EQ(Checker({"--verbose"}).status, 2);
  EXPECT_EQ(Checker({"a.json", "b.json"}).status, 2);
  // A report that is lost is no verdict. A full disk is at hand only where there is /dev/full.
  if (!fs::exists("/dev/full")) return;
  for (const char* args : {"--help", "examples/config.json"}) {
    EXPECT_EQ(RunToEnd(ProgramPath("nestkeep-check"), {args}, "", "/dev/full",
                       (dir_ / "err").string(), SourceDir()),
              2)
        << args;
  }
}

// Legal, so the exit status stays 0, but surely not what the author meant.
TEST_F(Check, Warnings) {
  const std::string ok = R"("CuddleIntervalTime": 5, "CuddleIncreasePercent": 0.1)";
  // A config of one species "A" with the given interval and increase.
  auto species = [](const char* interval, const char* increase) {
    return std::string(R"({"General": {}, "Dinolist": {"A": {"CuddleIntervalTime": )") + interval +
           R"(, "CuddleIncreasePercent": )" + increase + "}}}";
  };
  std::string deep_repeat = "{\"" + std::string(100, 'n') + "\": ";
  for (int level = 1; level <= 12; ++level) deep_repeat += "{\"" + std::to_string(level) + "\": ";
  deep_repeat += R"({"r": 1, "r": 2})" + std::string(13, '}');
  const struct {
    const char* what;
    std::string text;
    Strings warnings;
  } cases[] = {
      {"none", species("5", "0.1"), {}},
      {"interval at zero",
       species("0", "0.1"),
       {R"("A": CuddleIntervalTime is 0; at 0 minutes or below, the next cuddle request is due at once)"}},
      {"interval below zero",
       species("-1.5", "0.1"),
       {R"("A": CuddleIntervalTime is -1.5; at 0 minutes or below, the next cuddle request is due at once)"}},
      {"increase at zero",
       species("5", "false"),
       {R"("A": CuddleIncreasePercent is 0; at 0 or below, a cuddle adds no imprinting)"}},
      {"increase as a percentage",
       species("5", "25"),
       {R"("A": CuddleIncreasePercent is 25, above 1; it is a fraction of full imprinting (0.25 is a quarter; 25 is not 25%), so a single cuddle completes imprinting)"}},
      {"increase of exactly 1", species("5", "1"), {}},
      {"repeated keys",
       R"({"General": {}, "General": {}, "Dinolist": {"A": {)" + ok + R"(}, "A": {}, "A": 1}})",
       {R"(key General is given 2 times; the first counts and the others are ignored)",
        R"(key Dinolist/"A" is given 3 times; the first counts and the others are ignored)"}},
      // A note costs the same however deep or long: long names are cut, a deep path loses its
      // middle.
      {"repeated key deep down",
       R"({"General": {}, "Dinolist": {"A": {)" + ok + R"(}}, "Notes": )" + deep_repeat + "}",
       {"key \"Notes\"/\"" + std::string(64, 'n') +
        R"(".../"1"/"2"/.../"10"/"11"/"12"/"r" is given 2 times; the first counts and the others are ignored)"}},
      {"key case",
       R"({"general": 1, "General": {"replaceCuddleTypeWalk": false}, "DinoList": {},
                      "Dinolist": {"A": {"CUDDLEINCREASEPERCENT": 1, )" +
           ok + R"(}}, "footlist": []})",
       {R"(key "DinoList" at the top level differs from "Dinolist" only in letter case; keys are case-sensitive, so it is ignored)",
        R"(key "footlist" at the top level differs from "Footlist" only in letter case; keys are case-sensitive, so it is ignored)",
        R"(key "general" at the top level differs from "General" only in letter case; keys are case-sensitive, so it is ignored)",
        R"(key "replaceCuddleTypeWalk" in "General" differs from "ReplaceCuddleTypeWalk" only in letter case; keys are case-sensitive, so it is ignored)",
        R"(key "CUDDLEINCREASEPERCENT" in "Dinolist/A" differs from "CuddleIncreasePercent" only in letter case; keys are case-sensitive, so it is ignored)"}},
      {"empty Dinolist",
       R"({"General": {}, "Dinolist": {}})",
       {R"("Dinolist" is empty: no species are configured, so the module changes nothing)"}},
      {"Dinolist an empty array",
       R"({"General": {}, "Dinolist": []})",
       {R"("Dinolist" is empty: no species are configured, so the module changes nothing)"}},
      {"no Dinolist",
       R"({"General": {}})",
       {R"(there is no "Dinolist": no species are configured, so the module changes nothing)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = Write("config.json", c.text);
    const auto run = Checker({path});
    EXPECT_EQ(run.status, 0);
    Strings want;
    for (const auto& w : c.warnings) want.push_back("warning: " + w);
    EXPECT_EQ(run.err, want);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), path + ": the module would load this file (" +
                                  std::to_string(want.size()) +
                                  (want.size() == 1 ? " warning)" : " warnings)"));
  }
}

// The module in the real sandbox: the example config loads without a word in the log, and a
// missing one gives exactly the one line.
TEST_F(Check, SandboxOnTheExample) {
  auto nestkeep_lines = [](const Strings& lines) {
    Strings found;
    for (const auto& line : lines)
      if (line.find("[Nestkeep]") != std::string::npos) found.push_back(line);
    return found;
  };
  const auto without = Start("nestkeep-sandbox", {"--dir", dir_.string()}, "quit\n");
  EXPECT_EQ(without.status, 0);
  const auto lines = nestkeep_lines(without.err);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(15), "[Nestkeep][error] Can't open config.json");

  Write("ArkApi/Plugins/Nestkeep/config.json", Example());
  const auto with = Start("nestkeep-sandbox", {"--dir", dir_.string()}, "quit\n");
  EXPECT_EQ(with.status, 0);
  EXPECT_EQ(nestkeep_lines(with.err), Strings{});
  EXPECT_EQ(nestkeep_lines(with.out), Strings{});
}

}  // namespace
