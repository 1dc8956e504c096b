// The real nestkeep-check as an administrator runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "plugin/engine/Printable.h"
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
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// How the verdict on a file the module refuses starts, after the file's name.
const std::string Refused =
    ": the module would log the first message above, without its place in the file, and not use "
    "the file";

// What the module makes of a file it loads, said as what it will do: each species with its
// imprinting forecast under the module's own rules, each food as the engine is asked for it, and
// what becomes of walk requests.
TEST_F(Check, Summary) {
  const auto path = Write("config.json", R"({
    "General": {"ReplaceCuddleTypeWalk": false},
    "Dinolist": {"Thornhopper": {"CuddleIntervalTime": 0.5, "CuddleIncreasePercent": 0.25},
                 "Mossback ": {"CuddleIntervalTime": 12, "CuddleIncreasePercent": true},
                 "Emberfin": {"CuddleIntervalTime": 15, "CuddleIncreasePercent": 0.125},
                 "Gloomwing": {"CuddleIntervalTime": 60, "CuddleIncreasePercent": 0.1}},
    "Footlist": ["Blueprint'/Game/Nursery/Foods/Berries.Berries'", "T'/Game/N\u00fcsse.N\u00fcsse'"]})");
  const auto run = Checker({path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(
      run.out,
      (Strings{"Species (4):",
               R"(  "Emberfin": cuddle every 15 min (900 s), +0.125 imprinting per cuddle)",
               R"(  "Gloomwing": cuddle every 60 min (3600 s), +0.1 imprinting per cuddle)",
               R"(  "Mossback ": cuddle every 12 min (720 s), +1 imprinting per cuddle)",
               R"(  "Thornhopper": cuddle every 0.5 min (30 s), +0.25 imprinting per cuddle)",
               "Foods (2), as the engine will be asked to load them:",
               "  /Game/Nursery/Foods/Berries.Berries_C", "  /Game/N\xC3\xBCsse.N\xC3\xBCsse_C",
               "Walk requests: kept as the game makes them (ReplaceCuddleTypeWalk false)",
               "Imprinting forecast, from birth, each request cuddled as it falls due:",
               R"(  "Emberfin": full after 8 cuddles, 2h 00m)",
               R"(  "Gloomwing": full after 10 cuddles, 10h 00m)",
               R"(  "Mossback ": full after 1 cuddle, 12 min)",
               R"(  "Thornhopper": full after 4 cuddles, 2 min)",
               path + ": the module would load this file (2 warnings)"}));
  ASSERT_EQ(run.err.size(), 2u);
  EXPECT_THAT(run.err[0], HasSubstr("species key has a blank at its start or end"));
  EXPECT_THAT(run.err[1], HasSubstr("CuddleIncreasePercent is true, which the module reads as 1"));

  // Walks, as the module will treat them, whatever the setting suggests.
  const struct {
    const char* general;
    const char* foods;
    std::string walks;
  } walks[] = {
      {"{}", R"(["T'/A.A'"])",
       "replaced by food requests (ReplaceCuddleTypeWalk true by default, as it is not given)"},
      {R"({"ReplaceCuddleTypeWalk": true})", "[]",
       "turned into plain cuddles, as there are no foods to ask for (ReplaceCuddleTypeWalk true)"},
  };
  for (const auto& c : walks) {
    const auto bare =
        Checker({Write("walks.json", std::string(R"({"General": )") + c.general +
                                         R"(, "Dinolist": {}, "Footlist": )" + c.foods + "}")});
    EXPECT_THAT(bare.out, Contains("Walk requests: " + c.walks)) << c.general;
  }
  // An interval past the module's 32-bit seconds.
  const auto never = Checker({Write("never.json", R"({"General": {}, "Dinolist": {"A": {
      "CuddleIntervalTime": 1e37, "CuddleIncreasePercent": 0.1}}})")});
  EXPECT_THAT(never.out,
              Contains(R"(  "A": cuddle every 1e+37 min (never due), +0.1 imprinting per cuddle)"));
}

// Every way the module refuses a file it could read: the line it would log, after where in the
// file the cause is and the path of the value there, and a hint on the cause in plain words.
TEST_F(Check, Failures) {
  for (const RefusedConfig& c : RefusedConfigs()) {
    SCOPED_TRACE(c.what);
    const auto path = Write("broken.json", c.text);
    if (c.size) fs::resize_file(path, c.size);
    const auto run = Checker({path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Strings{});
    ASSERT_GE(run.err.size(), 2u);
    EXPECT_EQ(run.err[0], path + ":" + c.place + ": " + c.path + ": " + PrintableText(c.message));
    const std::string hint = path + ":" + c.place + ": hint: ";
    if (c.hint.empty()) {
      EXPECT_THAT(run.err[1], Not(StartsWith(hint)));
    } else {
      EXPECT_THAT(run.err[1], StartsWith(hint));
      for (const std::string& words : c.hint) EXPECT_THAT(run.err[1], HasSubstr(words));
    }
    EXPECT_THAT(run.err.back(), StartsWith(path + Refused));
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

// One run shows every problem it can find, so that one round of fixes mends the file: first the
// failure the module stops at, then those it would meet next once that one is mended, and every
// warning, in the order of the text. After a parse failure, only what comes before it is read.
TEST_F(Check, EveryProblemInOneRun) {
  const std::string species = R"(
  "Dinolist": {
    "Ashwing": {"CuddleIntervalTime": "5", "CuddleIncreasePercent": 0.1},)";
  const struct {
    const char* what;
    std::string text;
    Strings err;  // after the file's name
  } cases[] = {
      {"failures in every part",
       R"({
  "General": {"ReplaceCuddleTypeWalk": "true"},)" +
           species + R"(
    "Brackenback": {"CuddleIntervalTme": 8, "CuddleIncreasePercent": 0.1}, "ashwing": {}
  },
  "Foodlist": ["Blueprint'/Game/Foods/Berries.Berries'"],
  "Footlist": ["Blueprint'/Game/Foods/RootMash.RootMash'", 42, "Berry"]
})",
       {":8:60: Footlist/1: " + E302 + "string, but is number",
        ":8:60: hint: a food is a text in double quotes",
        ":2:40: General/ReplaceCuddleTypeWalk: error: " + E302 + "boolean, but is string",
        ":2:40: hint: write true or false without quotes",
        R"(:4:39: Dinolist/"Ashwing"/CuddleIntervalTime: error: )" + E302 + "number, but is string",
        ":4:39: hint: the number is in quotes, which makes it text: write 5 without them",
        R"(:5:20: Dinolist/"Brackenback"/CuddleIntervalTime: error: )" + E302 +
            "number, but is null",
        ":5:20: hint: CuddleIntervalTime is missing",
        R"(:5:21: Dinolist/"Brackenback"/"CuddleIntervalTme": warning: the module does not read )"
        R"(this key, so it is ignored; did you mean "CuddleIntervalTime"?)",
        // A key's own mistake shows though its entry does not read.
        R"(:5:76: Dinolist/"ashwing": warning: species key differs from "Ashwing" only in letter )"
        "case",
        R"(:5:87: Dinolist/"ashwing"/CuddleIntervalTime: error: )" + E302 + "number, but is null",
        ":5:87: hint: CuddleIntervalTime is missing",
        R"(:7:3: "Foodlist": warning: the module does not read this key, so it is ignored; did )"
        R"(you mean "Footlist"?)",
        R"(:8:64: Footlist/2: error: Footlist element "Berry" is not of the form Type'Path')",
        ":8:64: hint: a food is a type word, an apostrophe, its object path and an apostrophe",
        Refused + " (6 errors found in all)"}},
      {"a parse failure after a failure",
       "{\n  \"General\": {}," + species + R"(
    "Brackenback": {"CuddleIntervalTime": 8, "CuddleIncreasePercent": 0,1},
    "Cindertail": {"CuddleIntervalTime": "8", "CuddleIncreasePercent": 0.1}
  }
})",
       {R"(:5:72: Dinolist/"Brackenback"/CuddleIncreasePercent: )" + P101 +
            "5, column 73: syntax error while parsing object key - unexpected number literal; "
            "expected string literal",
        ":5:72: hint: a comma in a number: JSON numbers use a decimal point: write 0.1; the "
        "parser's own \"line 5, column 73\" is where it gave up reading; the mistake is at 5:72",
        R"(:4:39: Dinolist/"Ashwing"/CuddleIntervalTime: error: )" + E302 + "number, but is string",
        ":4:39: hint: the number is in quotes, which makes it text: write 5 without them",
        Refused + "; it reads no further than 5:72, so only what comes before is checked (2 "
                  "errors found in all)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto path = Write("config.json", c.text);
    const auto run = Checker({path});
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.err.size(), c.err.size());
    for (std::size_t i = 0; i < c.err.size(); ++i)
      EXPECT_THAT(run.err[i], StartsWith(path + c.err[i]));
  }
}

TEST_F(Check, CannotOpen) {
  const auto missing = Checker({(dir_ / "nothing.json").string()});
  EXPECT_EQ(missing.status, 2);
  const std::string nothing = (dir_ / "nothing.json").string();
  EXPECT_EQ(missing.err,
            (Strings{nothing + ": cannot be opened: No such file or directory",
                     nothing + ": the module would log \"Can't open config.json\" and not use "
                               "the file"}));
  // A name shows as text from a file does: a control byte cannot move the cursor.
  const auto named = Checker({(dir_ / "a\x1B[2J.json").string()});
  EXPECT_THAT(named.err.at(0),
              StartsWith((dir_ / "a\\x1B[2J.json").string() + ": cannot be opened: "));
  const auto directory = Checker({dir_.string()});
  EXPECT_EQ(directory.status, 2);
  EXPECT_EQ(directory.err.at(0), dir_.string() + ": cannot be opened: it is a directory");
  // Neither the module nor the checker waits for a writer.
  if (!MakePipeAt(dir_ / "pipe.json")) return;
  const auto pipe = Checker({(dir_ / "pipe.json").string()});
  EXPECT_EQ(pipe.status, 2);
  EXPECT_EQ(pipe.err.at(0),
            (dir_ / "pipe.json").string() + ": cannot be opened: it is not a regular file");
}

TEST_F(Check, DefaultPathIsTheServers) {
  const auto none = Checker({});
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.err.at(0), Shown("./ArkApi/Plugins/Nestkeep/config.json") +
                                ": cannot be opened: No such file or directory");
  Write("ArkApi/Plugins/Nestkeep/config.json", R"({"General": {}, "Footlist": ["T'/A.A'"]})");
  const auto found = Checker({});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out.back(), Shown("./ArkApi/Plugins/Nestkeep/config.json") +
                                  ": the module would load this file (1 warning)");
}

TEST_F(Check, Arguments) {
  const auto help = Checker({"--help"});
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.out.empty());
  EXPECT_EQ(help.out[0],
            "usage: nestkeep-check [--format text|json] [--maturation DURATION] [--] [PATH...]");
  EXPECT_EQ(Checker({"--version"}).out, Strings{"nestkeep-check " NESTKEEP_VERSION});
  const struct {
    Strings args;
    std::string err;
  } wrong[] = {
      {{"--verbose"}, "unknown option --verbose"},
      {{"--format", "xml"}, "unknown format xml"},
      {{"--format"}, "--format needs a value"},
      {{"--maturation", "90"}, "not a duration: 90; give one such as 90m, 36h or 3d"},
      {{"--maturation", "0d"}, "not a duration: 0d"},
      {{"--maturation", "3d12"}, "not a duration: 3d12"},
      {{"--diff", "a.json"}, "--diff takes two files"},
  };
  for (const auto& c : wrong) {
    const auto run = Checker(c.args);
    EXPECT_EQ(run.status, 2) << c.err;
    EXPECT_EQ(run.out, Strings{}) << c.err;
    ASSERT_EQ(run.err.size(), 1u) << c.err;
    EXPECT_THAT(run.err[0], StartsWith("nestkeep-check: " + c.err));
  }
  // Several files: the worst verdict is the exit status. After "--", a name that starts with "-"
  // is a file.
  Write("-good.json", R"({"General": {}, "Dinolist": {}})");
  Write("refused.json", "{}");
  const struct {
    Strings args;
    int status;
  } files[] = {
      {{"--", "-good.json"}, 0},
      {{"--", "-good.json", "refused.json"}, 1},
      {{"refused.json", "missing.json", "--", "-good.json"}, 2},
  };
  for (const auto& c : files) EXPECT_EQ(Checker(c.args).status, c.status) << c.args.back();
  // A report that is lost is no verdict. A full disk is at hand only where there is /dev/full.
  if (!fs::exists("/dev/full")) return;
  for (const char* args : {"--help", "examples/config.json"}) {
    EXPECT_EQ(RunToEnd(ProgramPath("nestkeep-check"), {args}, "", "/dev/full",
                       (dir_ / "err").string(), SourceDir()),
              2)
        << args;
  }
}

// A reader that stops reading (nestkeep-check big.json | head -1) leaves the report unwritten: the
// exit status says so, where the checker would otherwise die of the broken pipe.
TEST_F(Check, AReaderThatGoesAway) {
  const fs::path pipe = dir_ / "out.pipe";
  if (!MakePipeAt(pipe)) return;
  std::string species;
  for (int i = 0; i < 5000; ++i)
    species += (i ? ", \"" : "\"") + std::to_string(i) +
               R"(": {"CuddleIntervalTime": 1, "CuddleIncreasePercent": 1})";
  const auto path = Write("big.json", R"({"General": {}, "Dinolist": {)" + species + "}}");
  std::thread reader([&] {
    std::ifstream in(pipe);
    std::string first;
    std::getline(in, first);
  });
  const int status =
      RunToEnd(ProgramPath("nestkeep-check"), {path}, "", pipe.string(), (dir_ / "err").string());
  reader.join();
  EXPECT_EQ(status, 2);
}

// Legal, so the exit status stays 0, but surely not what the author meant: each warning with where
// it points, the value at fault (or, for a key, the key itself; for a repeat, its first repeat).
// Legal, so the exit status stays 0, but surely not what the author meant: each warning with where
// it points, the value at fault (or, for a key, the key itself; for a repeat, its first repeat),
// in the order of the text.
TEST_F(Check, Warnings) {
  const std::string ok = R"("CuddleIntervalTime": 5, "CuddleIncreasePercent": 0.1)";
  const std::string food = R"("Footlist": ["T'/A.A'"])";
  // A config of one species "A" with the given interval (on line 3) and increase (line 4).
  auto species = [](const char* interval, const char* increase) {
    return std::string(
               "{\"General\": {\"ReplaceCuddleTypeWalk\": false},\n \"Dinolist\": {\"A\": "
               "{\n  \"CuddleIntervalTime\": ") +
           interval + ",\n  \"CuddleIncreasePercent\": " + increase + "}}}";
  };
  // A config with the given foods.
  auto foods = [](const std::string& list) {
    return "{\"General\": {}, \"Dinolist\": {\"A\": {\"CuddleIntervalTime\": 5, "
           "\"CuddleIncreasePercent\": 0.1}},\n \"Footlist\": " +
           list + "}";
  };
  // A note holding a repeated key "r" at the end of a path of the given steps, the note's own key
  // the first of them.
  auto noted = [&](const std::string& note, int steps) {
    std::string text =
        R"({"General": {}, "Dinolist": {"A": {)" + ok + "}}, " + food + ", \"" + note + "\": ";
    for (int step = 2; step < steps; ++step) text += "{\"" + std::to_string(step) + "\": ";
    return text + R"({"r": 1, "r": 2})" + std::string(steps - 2, '}') + "}";
  };
  const std::string repeated = "key given 2 times; the first counts and the others are ignored";
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
  const std::string ignored = "the module does not read this key, so it is ignored";
  const std::string name = "_" + std::string(63, 'n');
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
      // Values that cannot work, or are likely a slip of unit.
      {"interval infinite once in seconds",
       species("1e37", "0.1"),
       {{"3:25", R"(Dinolist/"A"/CuddleIntervalTime)",
         "CuddleIntervalTime is 1e+37 minutes, more than the module's 32-bit seconds hold once "
         "multiplied by 60: the next cuddle request is never due; write the minutes between two "
         "cuddle requests, such as 30"}}},
      {"interval infinite as read",
       species("1e40", "0.1"),
       {{"3:25", R"(Dinolist/"A"/CuddleIntervalTime)",
         "CuddleIntervalTime is more than a 32-bit number holds: the next cuddle request is never "
         "due; write the minutes between two cuddle requests, such as 30"}}},
      {"interval in seconds",
       species("28800", "0.1"),
       {{"3:25", R"(Dinolist/"A"/CuddleIntervalTime)",
         "CuddleIntervalTime is 28800 minutes (20d 00h), more than a day; the setting is in "
         "minutes, not seconds: 28800 seconds would be 480 minutes"}}},
      {"interval in seconds, not whole minutes",
       species("1441", "0.1"),
       {{"3:25", R"(Dinolist/"A"/CuddleIntervalTime)",
         "CuddleIntervalTime is 1441 minutes (24h 01m), more than a day; the setting is in "
         "minutes, not seconds: 1441 seconds would be 24.02 minutes"}}},
      {"interval of a day", species("1440", "0.1"), {}},
      {"increase at zero",
       species("5", "0"),
       {{"4:28", R"(Dinolist/"A"/CuddleIncreasePercent)",
         "CuddleIncreasePercent is 0; at 0 or below, a cuddle adds no imprinting"}}},
      {"increase as a percentage",
       species("5", "25"),
       {{"4:28", R"(Dinolist/"A"/CuddleIncreasePercent)",
         "CuddleIncreasePercent is 25, above 1; it is a fraction of full imprinting (0.25 is a "
         "quarter; 25 is not 25%), so a single cuddle completes imprinting"}}},
      {"increase of exactly 1", species("5", "1"), {}},
      // The module reads true and false as 1 and 0.
      {"settings written true and false",
       species("true", "false"),
       {{"3:25", R"(Dinolist/"A"/CuddleIntervalTime)",
         "CuddleIntervalTime is true, which the module reads as 1: write a number, the minutes "
         "between two cuddle requests, such as 8"},
        {"4:28", R"(Dinolist/"A"/CuddleIncreasePercent)",
         "CuddleIncreasePercent is false, which the module reads as 0: write a number, the "
         "fraction of full imprinting a cuddle adds, such as 0.1"},
        {"4:28", R"(Dinolist/"A"/CuddleIncreasePercent)",
         "CuddleIncreasePercent is 0; at 0 or below, a cuddle adds no imprinting"}}},
      // A brace too many ends the config early; the foods after it are never read.
      {"text after the end",
       R"({"General": {"ReplaceCuddleTypeWalk": false}, "Dinolist": {"A": {)" + ok + R"(}}},)" +
           "\n " + food + "}",
       {{"1:122", "(top level)",
         "the config has ended before here, and the module ignores everything from here on; if "
         "this is still part of it, a \"}\" or \"]\" too many closes it earlier"}}},
      {"increase too small to count",
       species("1e-30", "1e-10"),
       {{"4:28", R"(Dinolist/"A"/CuddleIncreasePercent)",
         "imprinting never completes: after 17792408 cuddles the quality stops at 0.1953125%, "
         "where +1e-10 is too small to change the module's 32-bit number any more: write a "
         "larger CuddleIncreasePercent, such as 0.01"}}},
      // Walk requests become plain cuddles when there is no food to ask for, whatever the
      // setting suggests; here because the foods are under a key the module does not read.
      {"walks with no foods",
       R"({"General": {"ReplaceCuddleTypeWalk": true}, "Dinolist": {"A": {)" + ok +
           R"(}}, "Foodlist": ["T'/A.A'"]})",
       {{"1:39", "General/ReplaceCuddleTypeWalk",
         "walk requests of listed species become plain cuddles, not food requests: "
         "ReplaceCuddleTypeWalk is true, but there are no foods: add a \"Footlist\" or set it to "
         "false"},
        {"1:122", R"("Foodlist")", ignored + R"(; did you mean "Footlist"?)"}}},
      // The first occurrence counts, so a warning about a value points at the first, a key
      // written with escapes included.
      {"repeated keys",
       "{\"General\": {}, \"General\": {}, \"Dinolist\": {\"\\u0041\": {\"CuddleIntervalTime\": 0, "
       "\"CuddleIncreasePercent\": 1},\n \"A\": {}, \"A\": 1}, " +
           food + "}",
       {{"1:17", "General", repeated},
        {"1:78", R"(Dinolist/"A"/CuddleIntervalTime)", due_at_once("0")},
        {"2:2", R"(Dinolist/"A")",
         "key given 3 times; the first counts and the others are ignored"}}},
      // A path costs the same however deep or long: a key past 64 bytes is cut, a path of more
      // than 9 steps loses its middle.
      {"key of 64 bytes", noted(name, 2), {{"1:195", "\"" + name + R"("/"r")", repeated}}},
      {"key of 65 bytes", noted(name + "n", 2), {{"1:196", "\"" + name + R"(".../"r")", repeated}}},
      {"path of 9 steps",
       noted("_a", 9),
       {{"1:175", R"("_a"/"2"/"3"/"4"/"5"/"6"/"7"/"8"/"r")", repeated}}},
      {"path of 10 steps",
       noted("_a", 10),
       {{"1:181", R"("_a"/"2"/"3"/"4"/.../"7"/"8"/"9"/"r")", repeated}}},
      // Keys the module does not read: with the key meant, where one is near; "$" and "_" keys
      // are free for notes.
      {"keys the module does not read",
       R"({"$schema": "s", "_comment": "c", "General ": 1, "General": {"Replace": false},
  "Dinolst": {}, "Dinolist": {"A": {"MaturationSpeed": 2, "_note": 1, )" +
           ok + "}}, " + food + R"(, "$Schema": "s", "$version": 1})",
       {{"1:35", R"("General ")",
         "key has a blank at its start or end; keys are matched exactly, so it is ignored; did "
         "you mean \"General\"?"},
        {"1:62", R"(General/"Replace")",
         ignored + R"(; "General" holds only "ReplaceCuddleTypeWalk")"},
        {"2:3", R"("Dinolst")", ignored + R"(; did you mean "Dinolist"?)"},
        {"2:37", R"(Dinolist/"A"/"MaturationSpeed")",
         ignored + R"(; a species has "CuddleIntervalTime" and "CuddleIncreasePercent" only)"},
        // But for a slip of "$schema".
        {"2:153", R"("$Schema")",
         R"(editors look for "$schema" as written so, and the module ignores any key that starts with $; did you mean "$schema"?)"}}},
      {"key case",
       R"({"general": 1, "General": {"replaceCuddleTypeWalk": false}, "DinoList": {},
                      "Dinolist": {"A": {"CUDDLEINCREASEPERCENT": 1, )" +
           ok + R"(}}, "footlist": []})",
       {{"1:2", R"("general")", letter_case("General")},
        {"1:27", "General",
         "walk requests of listed species become plain cuddles, not food requests: "
         "ReplaceCuddleTypeWalk is true by default, as it is not given, but there are no foods: "
         "add a "
         "\"Footlist\" or set it to false"},
        {"1:28", R"(General/"replaceCuddleTypeWalk")", letter_case("ReplaceCuddleTypeWalk")},
        {"1:61", R"("DinoList")", letter_case("Dinolist")},
        {"2:42", R"(Dinolist/"A"/"CUDDLEINCREASEPERCENT")", letter_case("CuddleIncreasePercent")},
        {"2:127", R"("footlist")", letter_case("Footlist")}}},
      // Species keys no name tag matches as meant.
      {"species keys",
       R"({"General": {}, )" + food + R"(, "Dinolist": {"Glimmerwing": {)" + ok +
           R"(}, "glimmerwing": {)" + ok + R"(},
  " Mossback\t": {)" +
           ok + R"(}, "Ash\u0007": {)" + ok + "}}}",
       {{"1:127", R"(Dinolist/"glimmerwing")",
         R"(species key differs from "Glimmerwing" only in letter case; keys are matched exactly, so a baby matches one of them at most: keep the one spelt as the game's name tag)"},
        // A tab at an end is a blank: one warning.
        {"2:3", R"(Dinolist/" Mossback\x09")",
         R"(species key has a blank at its start or end; keys are matched byte for byte, so a baby named "Mossback" is left to the game)"},
        {"2:75", R"(Dinolist/"Ash\x07")",
         "species key holds a control byte, which no name tag holds: no baby matches it; remove "
         "it"}}},
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
       foods(R"(["T'/A.A'", "T''"])"),
       {{"2:26", "Footlist/1",
         R"(food "T''" has an empty path: the engine is asked to load "_C", which is no food)"}}},
      {"food without a closing apostrophe",
       foods(R"(["Blueprint'/Game/A.A"])"),
       {{"2:15", "Footlist/0",
         R"(food "Blueprint'/Game/A.A" has no closing apostrophe; the module takes the rest as the path and asks the engine to load /Game/A.A_C)"}}},
      {"food path ending in _C",
       foods(R"(["T'/Game/A.A_C'"])"),
       {{"2:15", "Footlist/0",
         R"(food "T'/Game/A.A_C'" already ends in _C, and the module appends another: the engine is asked to load /Game/A.A_C_C)"}}},
      {"food path with a backslash",
       foods(R"(["T'\\Game\\A.A'"])"),
       {{"2:15", "Footlist/0",
         R"(food "T'\\Game\\A.A'" has a backslash in its path; object paths are written with "/", and the engine is asked to load \Game\A.A_C)"}}},
      {"food path without its object's name",
       foods(R"(["T'/Game/Foods.Pack/RootMash'", "T'/Game/A.'"])"),
       {{"2:15", "Footlist/0",
         R"(food "T'/Game/Foods.Pack/RootMash'" has no .Name after the last "/" of its path: the engine is asked to load /Game/Foods.Pack/RootMash_C, but an object path ends in Package.Name, such as /Game/Foods/Berries.Berries)"},
        {"2:47", "Footlist/1",
         R"(food "T'/Game/A.'" has no .Name after the last "/" of its path: the engine is asked to load /Game/A._C, but an object path ends in Package.Name, such as /Game/Foods/Berries.Berries)"}}},
      {"food with a control byte",
       foods(R"(["T'/Game/A.A\t'"])"),
       {{"2:15", "Footlist/0",
         R"(food "T'/Game/A.A\x09'" holds a control byte, which no object path holds)"}}},
      {"foods as a lone string",
       foods(R"("T'/A.A'")"),
       {{"2:14", "Footlist",
         R"("Footlist" is a lone string, not an array; the module reads it as a list of one food)"}}},
      {"foods as an object",
       foods(R"({"b": "T'/B.B'", "a": "T'/A.A_C'"})"),
       {{"2:14", "Footlist",
         R"("Footlist" is an object, not an array; the module reads its values as foods, in the order of their keys)"},
        {"2:36", R"(Footlist/"a")",
         R"(food "T'/A.A_C'" already ends in _C, and the module appends another: the engine is asked to load /A.A_C_C)"}}},
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

// Against the time babies take to grow up: each species that would not reach full imprinting by
// then, at the species, with what it would take.
TEST_F(Check, Maturation) {
  const auto path = Write("config.json", R"({"General": {}, "Footlist": ["T'/A.A'"], "Dinolist": {
  "Emberfin": {"CuddleIntervalTime": 15, "CuddleIncreasePercent": 0.125},
  "Mossback": {"CuddleIntervalTime": 30, "CuddleIncreasePercent": 0.05}}})");
  const struct {
    const char* maturation;
    std::string heading;
    Strings err;
  } cases[] = {
      {"9.5h",
       "(babies grow up in 9h 30m)",
       {path + R"(:3:15: Dinolist/"Mossback": warning: a baby grows up in 9h 30m, before full )"
               "imprinting, which takes 20 cuddles, 10h 00m"}},
      {"10h", "(babies grow up in 10h 00m)", {}},  // full imprinting as it grows up is in time
      {"1d12h", "(babies grow up in 36h 00m)", {}},
  };
  for (const auto& c : cases) {
    const auto run = Checker({"--maturation", c.maturation, path});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, Contains("Imprinting forecast, from birth, each request cuddled as it "
                                  "falls due " +
                                  c.heading + ":"));
    EXPECT_EQ(run.err, c.err) << c.maturation;
  }
}

// What a reload from the running config to a new one would change, as the module reads both; the
// new one is checked as on its own, and gives the exit status.
TEST_F(Check, Diff) {
  const auto running = Write("running.json", R"({"General": {}, "Dinolist": {
    "Ashwing": {"CuddleIntervalTime": 8, "CuddleIncreasePercent": 0.1},
    "Brackenback": {"CuddleIntervalTime": 30, "CuddleIncreasePercent": 0.05}},
  "Footlist": ["T'/Game/Berries.Berries'", "T'/Game/RootMash.RootMash'", "T'/Game/Berries.Berries'"]})");
  const auto next =
      Write("next.json", R"({"General": {"ReplaceCuddleTypeWalk": false}, "Dinolist": {
    "Ashwing": {"CuddleIntervalTime": 8, "CuddleIncreasePercent": 0.2},
    "Brackenback": {"CuddleIntervalTime": 30, "CuddleIncreasePercent": 0.05},
    "Cindertail": {"CuddleIntervalTime": 15, "CuddleIncreasePercent": 0.125}},
  "Footlist": ["T'/Game/Honeycomb.Honeycomb'", "T'/Game/Berries.Berries'"]})");
  const auto refused = Write("refused.json", R"({"Dinolist": {}})");
  const auto missing = (dir_ / "missing.json").string();
  const auto run = Checker({"--diff", running, next});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(
      run.out,
      (Strings{
          "A reload from " + running + " to " + next + " would change:",
          R"(  species added: "Cindertail": cuddle every 15 min (900 s), +0.125 imprinting per cuddle)",
          R"(  species changed: "Ashwing": CuddleIncreasePercent 0.1 -> 0.2; full after 10 cuddles, 1h 20m -> full after 5 cuddles, 40 min)",
          "  food added: /Game/Honeycomb.Honeycomb_C",
          "  food removed: /Game/Berries.Berries_C (1 of 2 entries)",
          "  food removed: /Game/RootMash.RootMash_C",
          "  walk requests: replaced by food requests -> kept as the game makes them",
          next + ": the module would load this file (0 warnings)"}));
  EXPECT_EQ(run.err, Strings{});
  const struct {
    std::string running, next;
    int status;
    std::string first;
  } cases[] = {
      {next, next, 0, "A reload from " + next + " to " + next + " would change nothing"},
      {running, refused, 1,
       "A reload would change nothing: the module refuses " + refused + " and keeps what it has"},
      {refused, running, 0,
       refused + " is no config the module would load, so no server runs on it; compared with "
                 "no config at all:"},
      {missing, running, 0,
       missing + " cannot be opened (No such file or directory); compared with no config at all:"},
  };
  for (const auto& c : cases) {
    const auto other = Checker({"--diff", c.running, c.next});
    EXPECT_EQ(other.status, c.status) << c.first;
    ASSERT_FALSE(other.out.empty());
    EXPECT_EQ(other.out[0], c.first);
  }
}

// For scripts and editors: one JSON document, whatever the files; the exit status the worst.
TEST_F(Check, JsonReport) {
  const auto good = Write("good.json", R"({"General": {}, "Dinolist": {
  "Ashwing": {"CuddleIntervalTime": 8, "CuddleIncreasePercent": 0.1}}, "Footlist": ["T'/A.A'"]})");
  std::string foods;
  for (int i = 0; i < 25; ++i) foods += std::string(i ? ", " : "") + "\"T''\"";
  const auto many =
      Write("many.json", R"({"General": {}, "Dinolist": {}, "Footlist": [)" + foods + "]}");
  const auto refused = Write("refused.json", "{\"General\": {},\n \"Dinolist\": {\"A\": 5}}");
  const auto missing = (dir_ / "missing.json").string();
  const auto run =
      Checker({"--format", "json", "--maturation", "1h", good, many, refused, missing});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, Strings{});
  const auto doc = nlohmann::json::parse(Joined(run.out));
  EXPECT_EQ(doc["exit_status"], 2);
  ASSERT_EQ(doc["files"].size(), 4u);
  const auto& loads = doc["files"][0];
  EXPECT_EQ(loads["file"], good);
  EXPECT_EQ(loads["verdict"], "loads");
  EXPECT_EQ(loads["exit_status"], 0);
  const auto& species = loads["summary"]["species"][0];
  EXPECT_EQ(species, nlohmann::json::parse(R"({"name": "Ashwing", "interval_minutes": 8,
      "interval_seconds": 480, "increase": 0.1, "forecast": {"outcome": "full",
      "text": "full after 10 cuddles, 1h 20m", "cuddles": 10, "seconds": 4800,
      "full_before_grown": false}})"));
  EXPECT_EQ(loads["summary"]["foods"], nlohmann::json::parse(R"(["/A.A_C"])"));
  EXPECT_EQ(loads["summary"]["walk"], nlohmann::json::parse(R"({"replace": true, "given": false,
      "effect": "food"})"));
  EXPECT_EQ(loads["problems"][0]["code"], "grows-up-first");
  // Of one kind, 20 problems and the count of the rest.
  const auto& capped = doc["files"][1];
  EXPECT_EQ(capped["warnings"], 26);
  EXPECT_EQ(capped["problems"].size(), 21u);
  EXPECT_EQ(capped["omitted"],
            nlohmann::json::parse(R"([{"code": "food-empty-path", "count": 5}])"));
  auto problem = nlohmann::json::parse(R"({"line": 2, "column": 20,
      "path": "Dinolist/\"A\"", "severity": "error", "code": "species-not-object",
      "message": "[json.exception.type_error.305] cannot use operator[] with a string argument with number",
      "hint": "a species is an object of its two settings, such as {\"CuddleIntervalTime\": 30, \"CuddleIncreasePercent\": 0.05}",
      "stops_module": true})");
  problem["file"] = refused;
  EXPECT_EQ(doc["files"][2]["problems"][0], problem);
  EXPECT_EQ(doc["files"][2]["summary"], nullptr);
  EXPECT_EQ(doc["files"][3]["verdict"], "cannot-open");
  EXPECT_EQ(doc["files"][3]["exit_status"], 2);

  // In text, the same 20 and a line for the rest.
  const auto text = Checker({many});
  ASSERT_EQ(text.err.size(), 22u);
  EXPECT_EQ(text.err.back(),
            many + ": 5 more warnings like the one at 1:46 are not shown (20 of a kind are)");

  const auto diff = Checker({"--format", "json", "--diff", good, good});
  EXPECT_EQ(nlohmann::json::parse(Joined(diff.out))["files"][0]["diff"]["species_added"],
            nlohmann::json::array());
}

}  // namespace
