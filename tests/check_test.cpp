// The real nestkeep-check as an administrator runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/RefusedConfigs.h"
#include "tests/SandboxProcess.h"
#include "tests/support/Match.h"
#include "tests/support/NonRegularFile.h"

namespace {

namespace fs = std::filesystem;

class Check : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeServerFolder(std::string("check-") +
                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs nestkeep-check in dir.
  SandboxRun Checker(const std::vector<std::string>& args) {
    return RunProgram("nestkeep-check", args, "", dir_.string());
  }

  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }

  fs::path dir_;
};

using Strings = std::vector<std::string>;

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

// Every way the module refuses a file it could read: the line it would log, after where in the
// file the value at fault starts and that value's path.
TEST_F(Check, Failures) {
  for (const RefusedConfig& c : RefusedConfigs()) {
    SCOPED_TRACE(c.what);
    const auto path = Write("broken.json", c.text);
    if (c.size) fs::resize_file(path, c.size);
    const auto run = Checker({path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Strings{});
    ASSERT_GE(run.err.size(), 2u);
    EXPECT_EQ(run.err.front(), path + ":" + c.place + ": " + c.path + ": " + c.message);
    EXPECT_EQ(run.err.back(), path +
                                  ": the module would log the message above, without its place "
                                  "in the file, and not use the file");
  }
}

TEST_F(Check, BrokenExample) {
  const std::string food = "\"Blueprint'/Game/Nursery/Foods/Berries.Berries'\"";
  std::string text = ReadText(SourceDir() + "/examples/config.json");
  const auto at = text.find(food);
  ASSERT_NE(at, std::string::npos);
  const auto path = Write("config.json", text.replace(at, food.size(), "42"));
  const auto run = Checker({path});
  EXPECT_EQ(run.status, 1);
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err[0], path + ":25:5: Footlist/0: " + E302 + "string, but is number");
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
          path +
              R"(:1:42: Dinolist/"Mossback"/CuddleIntervalTime: [json.exception.type_error.302] type must be number, but is null)",
          path +
              R"(:1:43: Dinolist/"Mossback"/"cuddleIntervalTime": warning: key differs from "CuddleIntervalTime" only in letter case; keys are case-sensitive, so it is ignored)",
          path + ": the module would log the message above, without its place in the file, and "
                 "not use the file"}));
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
  EXPECT_EQ(none.err.at(1),
            Shown("./ArkApi/Plugins/Nestkeep/config.json") + ": No such file or directory");
  Write("ArkApi/Plugins/Nestkeep/config.json", R"({"General": {}, "Footlist": ["T'/A'"]})");
  const auto found = Checker({});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out.back(), Shown("./ArkApi/Plugins/Nestkeep/config.json") +
                                  ": the module would load this file (1 warning)");
}

TEST_F(Check, Arguments) {
  const auto help = Checker({"--help"});
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.out.empty());
  EXPECT_EQ(help.out[0], "usage: nestkeep-check [PATH]");
  EXPECT_EQ(Checker({"--version"}).out, Strings{"nestkeep-check " NESTKEEP_VERSION});
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

// Legal, so the exit status stays 0, but surely not what the author meant: each warning with where
// it points, the value at fault (or, for a key, the key itself; for a repeat, its first repeat).
TEST_F(Check, Warnings) {
  const std::string ok = R"("CuddleIntervalTime": 5, "CuddleIncreasePercent": 0.1)";
  // A config of one species "A" with the given interval (on line 3) and increase (line 4).
  auto species = [](const char* interval, const char* increase) {
    return std::string("{\"General\": {},\n \"Dinolist\": {\"A\": {\n  \"CuddleIntervalTime\": ") +
           interval + ",\n  \"CuddleIncreasePercent\": " + increase + "}}}";
  };
  // A config with the given foods.
  auto foods = [](const std::string& list) {
    return "{\"General\": {}, \"Dinolist\": {\"A\": {\"CuddleIntervalTime\": 5, "
           "\"CuddleIncreasePercent\": 0.1}},\n \"Footlist\": " +
           list + "}";
  };
  std::string deep_repeat = "{\"" + std::string(100, 'n') + "\": ";
  for (int level = 1; level <= 12; ++level) deep_repeat += "{\"" + std::to_string(level) + "\": ";
  deep_repeat += R"({"r": 1, "r": 2})" + std::string(13, '}');
  const std::string empty =
      R"("Dinolist" is empty: no species are configured, so the module changes nothing)";
  auto due_at_once = [](const std::string& interval) {
    return "CuddleIntervalTime is " + interval +
           "; at 0 minutes or below, the next cuddle request is due at once";
  };
  auto letter_case = [](const std::string& key) {
    return R"(key differs from ")" + key +
           R"(" only in letter case; keys are case-sensitive, so it is ignored)";
  };
  struct Said {
    std::string place;  // LINE:COLUMN
    std::string path;
    std::string text;
  };
  const struct {
    const char* what;
    std::string text;
    std::vector<Said> warnings;
  } cases[] = {
      {"none", species("5", "0.1"), {}},
      {"interval at zero",
       species("0", "0.1"),
       {{"3:25", R"(Dinolist/"A"/CuddleIntervalTime)", due_at_once("0")}}},
      {"interval below zero",
       species("-1.5", "0.1"),
       {{"3:25", R"(Dinolist/"A"/CuddleIntervalTime)", due_at_once("-1.5")}}},
      {"increase at zero",
       species("5", "false"),
       {{"4:28", R"(Dinolist/"A"/CuddleIncreasePercent)",
         "CuddleIncreasePercent is 0; at 0 or below, a cuddle adds no imprinting"}}},
      {"increase as a percentage",
       species("5", "25"),
       {{"4:28", R"(Dinolist/"A"/CuddleIncreasePercent)",
         "CuddleIncreasePercent is 25, above 1; it is a fraction of full imprinting (0.25 is a "
         "quarter; 25 is not 25%), so a single cuddle completes imprinting"}}},
      {"increase of exactly 1", species("5", "1"), {}},
      // The first occurrence counts, so a warning about a value points at the first, a key
      // written with escapes included.
      {"repeated keys",
       "{\"General\": {}, \"General\": {}, \"Dinolist\": {\"\\u0041\": {\"CuddleIntervalTime\": 0, "
       "\"CuddleIncreasePercent\": 1},\n \"A\": {}, \"A\": 1}}",
       {{"1:17", "General", "key given 2 times; the first counts and the others are ignored"},
        {"2:2", R"(Dinolist/"A")",
         "key given 3 times; the first counts and the others are ignored"},
        {"1:78", R"(Dinolist/"A"/CuddleIntervalTime)", due_at_once("0")}}},
      // A path costs the same however deep or long: long names are cut, a deep path loses its
      // middle.
      {"repeated key deep down",
       R"({"General": {}, "Dinolist": {"A": {)" + ok + R"(}}, "Notes": )" + deep_repeat + "}",
       {{"1:291", "\"Notes\"/\"" + std::string(64, 'n') + R"(".../"1"/"2"/.../"10"/"11"/"12"/"r")",
         "key given 2 times; the first counts and the others are ignored"}}},
      {"key case",
       R"({"general": 1, "General": {"replaceCuddleTypeWalk": false}, "DinoList": {},
                      "Dinolist": {"A": {"CUDDLEINCREASEPERCENT": 1, )" +
           ok + R"(}}, "footlist": []})",
       {{"1:61", R"("DinoList")", letter_case("Dinolist")},
        {"2:127", R"("footlist")", letter_case("Footlist")},
        {"1:2", R"("general")", letter_case("General")},
        {"1:28", R"(General/"replaceCuddleTypeWalk")", letter_case("ReplaceCuddleTypeWalk")},
        {"2:42", R"(Dinolist/"A"/"CUDDLEINCREASEPERCENT")", letter_case("CuddleIncreasePercent")}}},
      {"empty Dinolist", R"({"General": {}, "Dinolist": {}})", {{"1:29", "Dinolist", empty}}},
      {"Dinolist an empty array",
       R"({"General": {}, "Dinolist": []})",
       {{"1:29", "Dinolist", empty}}},
      // A member that is not there: the object that lacks it.
      {"no Dinolist",
       "\n  {\"General\": {}}",
       {{"2:3", "Dinolist",
         R"(there is no "Dinolist": no species are configured, so the module changes nothing)"}}},
      // Foods that load nothing useful.
      {"food with an empty path",
       foods(R"(["T'/A'", "T''"])"),
       {{"2:24", "Footlist/1",
         R"(food "T''" has an empty path: the engine is asked to load "_C", which is no food)"}}},
      {"food without a closing apostrophe",
       foods(R"(["Blueprint'/Game/A"])"),
       {{"2:15", "Footlist/0",
         R"(food "Blueprint'/Game/A" has no closing apostrophe; the module takes the rest as the path and asks the engine to load /Game/A_C)"}}},
      {"food path ending in _C",
       foods(R"(["T'/Game/A_C'"])"),
       {{"2:15", "Footlist/0",
         R"(food "T'/Game/A_C'" already ends in _C, and the module appends another: the engine is asked to load /Game/A_C_C)"}}},
      {"food path with a backslash",
       foods(R"(["T'\\Game\\A'"])"),
       {{"2:15", "Footlist/0",
         R"(food "T'\\Game\\A'" has a backslash in its path; object paths are written with "/", and the engine is asked to load \Game\A_C)"}}},
      {"foods as a lone string",
       foods(R"("T'/A'")"),
       {{"2:14", "Footlist",
         R"("Footlist" is a lone string, not an array; the module reads it as a list of one food)"}}},
      {"foods as an object",
       foods(R"({"b": "T'/B'", "a": "T'/A_C'"})"),
       {{"2:14", "Footlist",
         R"("Footlist" is an object, not an array; the module reads its values as foods, in the order of their keys)"},
        {"2:34", R"(Footlist/"a")",
         R"(food "T'/A_C'" already ends in _C, and the module appends another: the engine is asked to load /A_C_C)"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = Write("config.json", c.text);
    const auto run = Checker({path});
    EXPECT_EQ(run.status, 0);
    Strings want;
    for (const auto& w : c.warnings)
      want.push_back(path + ":" + w.place + ": " + w.path + ": warning: " + w.text);
    EXPECT_EQ(run.err, want);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), path + ": the module would load this file (" +
                                  std::to_string(want.size()) +
                                  (want.size() == 1 ? " warning)" : " warnings)"));
  }
}

}  // namespace
