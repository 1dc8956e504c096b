// Reading config.json into the running configuration, and the readers the detours use.
#include <gmock/gmock.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>
#include <set>

#include "plugin/config/ConfigFile.h"
#include "plugin/lifecycle/LogLine.h"
#include "tests/Fixture.h"
#include "tests/RefusedConfigs.h"
#include "tests/support/Match.h"
#include "tests/support/NonRegularFile.h"

namespace {

using nlohmann::json;

// A configuration that differs from a fresh start in all three settings, so that a read which
// touches any of them shows.
const std::string Good = R"({
  "General": {"ReplaceCuddleTypeWalk": false},
  "Dinolist": {
    "Mossback": {"CuddleIntervalTime": 4, "CuddleIncreasePercent": 0.2},
    "Glimmerwing": {"CuddleIntervalTime": 0.5, "CuddleIncreasePercent": 0.05}
  },
  "Footlist": ["Blueprint'/Game/Nursery/Foods/Berries.Berries'",
               "Blueprint'/Game/Nursery/Foods/Honeycomb.Honeycomb'"]
})";

// The member text of a document with the given sections; General defaults to an empty object.
std::string Doc(const std::string& members) { return "{" + members + "}"; }
std::string WithGeneral(const std::string& members) {
  return Doc(R"("General": {})" + (members.empty() ? "" : ", " + members));
}

struct Snapshot {
  SpeciesMap species;
  std::vector<std::u16string> foods;
  bool keep_walk;
};

Snapshot Running() { return {SpeciesTable, FoodList, KeepWalkCuddle}; }

void ExpectSame(const Snapshot& want, const Snapshot& got) {
  ASSERT_EQ(want.species.size(), got.species.size());
  for (const auto& [name, entry] : want.species) {
    auto it = got.species.find(name);
    ASSERT_NE(it, got.species.end()) << name;
    EXPECT_EQ(entry.CuddleIntervalTime, it->second.CuddleIntervalTime) << name;
    EXPECT_EQ(entry.CuddleIncreasePercent, it->second.CuddleIncreasePercent) << name;
  }
  EXPECT_EQ(want.foods, got.foods);
  EXPECT_EQ(want.keep_walk, got.keep_walk);
}

// What stands at the config's path besides a file of text.
enum class FileKind { Text, NoFile, Directory, Fifo, LinkToZeroDevice };

struct Failure {
  const char* what;
  std::string text;
  std::string message;
  FileKind file = FileKind::Text;
  std::uintmax_t size = 0;  // the file made this large
};

// Every way a read fails: what is not a regular file fails at once, then every file the module
// refuses, by the step that fails.
std::vector<Failure> Failures() {
  std::vector<Failure> all = {
      {"no file", "", "Can't open config.json", FileKind::NoFile},
      {"a directory", "", "Can't open config.json", FileKind::Directory},
      {"a pipe nobody writes into", "", "Can't open config.json", FileKind::Fifo},
      {"a link to a device that never ends", "", "Can't open config.json",
       FileKind::LinkToZeroDevice},
  };
  for (const RefusedConfig& c : RefusedConfigs())
    all.push_back({c.what, c.text, c.message, FileKind::Text, c.size});
  return all;
}

class ConfigRead : public HostTest {
 protected:
  // Puts the file, or what stands in its place; false where the platform has no such thing.
  bool Put(const std::string& text, FileKind file = FileKind::Text, std::uintmax_t size = 0) {
    const auto path = ConfigPath(dir_);
    std::filesystem::remove_all(path);
    switch (file) {
      case FileKind::Text:
        WriteConfig(text);
        if (size) std::filesystem::resize_file(path, size);
        return true;
      case FileKind::NoFile:
        return true;
      case FileKind::Directory:
        return std::filesystem::create_directory(path);
      case FileKind::Fifo:
        return MakePipeAt(path);
      case FileKind::LinkToZeroDevice:
        return MakeLinkToEndlessDevice(path);
    }
    return false;
  }
  bool Put(const Failure& c) { return Put(c.text, c.file, c.size); }

  void LoadGood() {
    Put(Good);
    ASSERT_TRUE(ReadConfig());
    ASSERT_EQ(SpeciesTable.size(), 2u);
    ASSERT_EQ(FoodList.size(), 2u);
    ASSERT_TRUE(KeepWalkCuddle);
    TakeLogLines();
  }

  // Reads text that must load, and returns the running configuration.
  Snapshot ReadGood(const std::string& text) {
    Put(text);
    EXPECT_TRUE(ReadConfig()) << text;
    EXPECT_EQ(TakeLogLines(), std::vector<std::string>{}) << text;
    return Running();
  }
};

// A failed read, at whatever step, logs one line and keeps all three settings as they were: those
// of the last good file, or at start-up the tables empty and walk requests replaced.
TEST_F(ConfigRead, FailedReadKeepsTheRunningConfiguration) {
  for (const bool loaded : {false, true}) {
    if (loaded) LoadGood();
    const Snapshot before = Running();
    for (const Failure& c : Failures()) {
      SCOPED_TRACE(::testing::Message() << c.what << (loaded ? ", on a reload" : ", at start-up"));
      if (!Put(c)) continue;
      EXPECT_FALSE(ReadConfig());
      const auto lines = TakeLogLines();
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(LogMessage(lines[0]), c.message);
      ExpectSame(before, Running());
    }
  }
}

// A reload after the file was fixed: nothing of the earlier good file or the failed one lingers.
TEST_F(ConfigRead, ReloadAfterFixedFile) {
  LoadGood();
  Put(WithGeneral(R"("Dinolist": {"Emberfin": {)" + Species + R"(}}, "Footlist": [1])"));
  EXPECT_FALSE(ReadConfig());
  TakeLogLines();
  const auto got = ReadGood(
      WithGeneral(R"("Dinolist": {"Emberfin": {)" + Species + R"(}}, "Footlist": ["T'/Fixed'"])"));
  ExpectSame({{{"Emberfin", {1.0f, 0.1f}}}, {u"/Fixed_C"}, false}, got);
}

// However deep a file nests, and wherever, the read neither crashes nor walks it: past the bound
// it fails with one line of its own.
TEST_F(ConfigRead, DeepNestingIsRefusedPastTheBound) {
  LoadGood();
  const Snapshot before = Running();
  // Where the deep value sits, as the text before and after it; the document itself adds a level.
  const struct {
    const char* where;
    std::string before, after;
  } places[] = {
      {"Footlist", R"({"General": {}, "Footlist": )", "}"},
      {"a food", R"({"General": {}, "Footlist": ["T'/A'", )", "]}"},
      {"Dinolist", R"({"General": {}, "Dinolist": )", "}"},
      {"a species", R"({"General": {}, "Dinolist": {"A": )", "}}"},
      {"an interval", R"({"General": {}, "Dinolist": {"A": {"CuddleIntervalTime": )", "}}}"},
      {"General", R"({"General": )", "}"},
      {"the walk setting", R"({"General": {"ReplaceCuddleTypeWalk": )", "}}"},
      {"an unknown key", R"({"General": {}, "Extra": )", "}"},
      {"a repeated key", R"({"General": {}, "General": )", "}"},
  };
  // Containers below the place, so that the whole document nests this deep.
  auto nest = [](bool arrays, int levels) {
    std::string text;
    for (int i = 0; i < levels; ++i) text += arrays ? "[" : R"({"a":)";
    text += arrays ? "" : "1";
    for (int i = 0; i < levels; ++i) text += arrays ? "]" : "}";
    return text;
  };
  for (const auto& place : places) {
    int above = 0;  // containers still open where the deep value starts
    for (char c : place.before) above += c == '{' || c == '[' ? 1 : c == '}' || c == ']' ? -1 : 0;
    for (const bool arrays : {true, false}) {
      for (const int depth : {MaxConfigDepth, MaxConfigDepth + 1, 500000}) {
        SCOPED_TRACE(::testing::Message()
                     << place.where << (arrays ? ", arrays " : ", objects ") << depth << " deep");
        Put(place.before + nest(arrays, depth - above) + place.after);
        const bool read = ReadConfig();
        const auto lines = TakeLogLines();
        if (depth > MaxConfigDepth) {
          EXPECT_FALSE(read);
          ASSERT_EQ(lines.size(), 1u);
          EXPECT_EQ(LogMessage(lines[0]), ConfigTooDeep);
        } else if (!read) {
          ASSERT_EQ(lines.size(), 1u);
          EXPECT_NE(LogMessage(lines[0]), ConfigTooDeep);
        }
        if (!read) ExpectSame(before, Running());
        LoadGood();
      }
    }
  }
}

// Species named by number, each name of the given length, and given again as often as asked.
std::string ManySpecies(std::size_t count, std::size_t name_bytes, int repeats = 0) {
  std::string text = R"({"General": {}, "Dinolist": {)";
  for (std::size_t i = 0; i < count; ++i) {
    const std::string number = std::to_string(i);
    const std::string name = std::string(name_bytes - number.size(), 'n') + number;
    text += (i ? ", \"" : "\"") + name + "\": {" + Species + "}";
    for (int k = 0; k < repeats; ++k) text += ", \"" + name + "\": 0";
  }
  return text + "}}";
}

// Foods of the given length as written, Type'Path'; as an object's members when keyed.
std::string ManyFoods(std::size_t count, std::size_t bytes, bool keyed = false) {
  const std::string food = "\"T'/" + std::string(bytes - 4, 'x') + "'\"";
  std::string text = R"({"General": {}, "Footlist": )";
  text += keyed ? "{" : "[";
  for (std::size_t i = 0; i < count; ++i)
    text += (i ? ", " : "") + (keyed ? "\"" + std::to_string(i) + "\": " : "") + food;
  return text + (keyed ? "}}" : "]}");
}

// Each bound: a file at it loads, a file past it fails with its own line and changes nothing, soon.
// Real configs are kilobytes.
TEST_F(ConfigRead, BoundsTakeTheirEdgeAndRefuseWhatIsPast) {
  std::string unread = R"({"General": {}, "Notes": [)";
  while (unread.size() < MaxConfigBytes - 8) unread += "[0, {}],";
  unread.back() = ']';
  unread += '}';
  const struct {
    const char* what;
    std::string text;
    std::size_t species, foods;  // what a file that loads holds
    std::string message;         // the line a file that fails logs
    std::uintmax_t size = 0;     // the file made this large
  } cases[] = {
      {"a file of exactly 4 MiB", R"({"General": {}})", 0, 0, "", 4 << 20},
      {"4 MiB the module does not read", unread, 0, 0, ""},
      {"the most species", ManySpecies(50000, 6), 50000, 0, ""},
      {"one species more", ManySpecies(50001, 6), 0, 0,
       "config.json lists more than 50000 species in Dinolist"},
      {"the most species, each given twice", ManySpecies(50000, 6, 1), 50000, 0, ""},
      {"the longest species name", ManySpecies(1, 1024), 1, 0, ""},
      {"a species name a byte longer", ManySpecies(1, 1025), 0, 0,
       "config.json has a species name longer than 1024 bytes in Dinolist"},
      {"the most foods", ManyFoods(50000, 5), 0, 50000, ""},
      {"one food more", ManyFoods(50001, 5), 0, 0,
       "config.json lists more than 50000 foods in Footlist"},
      {"one food more, in an object", ManyFoods(50001, 5, true), 0, 0,
       "config.json lists more than 50000 foods in Footlist"},
      {"the longest food", ManyFoods(1, 1024), 0, 1, ""},
      {"a food a byte longer", ManyFoods(1, 1025), 0, 0,
       "config.json has a food longer than 1024 bytes in Footlist"},
  };
  LoadGood();
  const Snapshot before = Running();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Put(c.text, FileKind::Text, c.size);
    const auto start = std::chrono::steady_clock::now();
    const bool read = ReadConfig();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 10);  // well under a second on a quiet machine, without sanitizers
    const auto lines = TakeLogLines();
    if (c.message.empty()) {
      EXPECT_TRUE(read);
      EXPECT_EQ(lines, std::vector<std::string>{});
      EXPECT_EQ(SpeciesTable.size(), c.species);
      EXPECT_EQ(FoodList.size(), c.foods);
      LoadGood();
    } else {
      EXPECT_FALSE(read);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(LogMessage(lines[0]), c.message);
      ExpectSame(before, Running());
    }
  }
}

// A failure quotes what it stopped in; its line still stays within 1 KiB, cut with a mark.
TEST_F(ConfigRead, LongTextIsCutInTheLog) {
  const std::string big(2'000'000, 'x');
  const struct {
    const char* what;
    std::string text;
    std::string starts;
  } cases[] = {
      {"string that never closes", WithGeneral(R"("Footlist": [")" + big),
       P101 + "1, column 2000032: syntax error while parsing value - invalid string: missing "
              "closing quote; last read: '\"xxx"},
      {"longest food", WithGeneral(R"("Footlist": [")" + std::string(MaxFoodBytes, 'x') + R"("])"),
       R"(Footlist element "xxx)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Put(c.text);
    EXPECT_FALSE(ReadConfig());
    const auto lines = TakeLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LE(lines[0].size(), 1024u);
    EXPECT_THAT(LogMessage(lines[0]), ::testing::StartsWith(c.starts));
    EXPECT_TRUE(FullMatch(lines[0], R"(.*x\.\.\. \(cut, [0-9]+ bytes in all\))"));
  }
}

TEST(LogText, EscapedAndCutAtACharacterBoundary) {
  const std::string fits(MaxLogText, 'a');
  const std::string short_mark = "... (cut, 961 bytes in all)";
  // A two-byte character that would straddle the cut goes whole.
  const std::string mark = "... (cut, 1034 bytes in all)";
  const std::size_t keep = MaxLogText - mark.size();
  const std::string wide =
      std::string(keep - 1, 'a') + "\xC3\xA9" + std::string(1034 - keep - 1, 'b');
  const struct {
    std::string text, want;
    std::size_t whole = 0;
  } cases[] = {
      {"", ""},
      {fits, fits},
      {fits + "a", std::string(MaxLogText - short_mark.size(), 'a') + short_mark},
      {wide, std::string(keep - 1, 'a') + mark},
      // Control bytes, DEL and bytes of no well-formed character show as \xNN; characters stay.
      {"a\nb\r\x1B[2J\x7F" + std::string(1, '\0') + "\\x41", "a\\x0Ab\\x0D\\x1B[2J\\x7F\\x00\\x41"},
      {"last read: '\xFF\xFE'", "last read: '\\xFF\\xFE'"},
      // C1 controls (CSI here) and the line and paragraph separators show byte by byte.
      {"a\xC2\x9B"
       "2J\xE2\x80\xA8\xE2\x80\xA9\xC2\xA0",
       "a\\xC2\\x9B2J\\xE2\\x80\\xA8\\xE2\\x80\\xA9\xC2\xA0"},
      {"\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBF",
       "\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBF"},
      {"\xC3 \xE2\x82 \xF0\x9F\x98 \xED\xA0\x80 \xC0\xAF \x80 \xF4\x90\x80\x80",
       "\\xC3 \\xE2\\x82 \\xF0\\x9F\\x98 \\xED\\xA0\\x80 \\xC0\\xAF \\x80 \\xF4\\x90\\x80\\x80"},
      // Escapes count as what they show: a short text of many control bytes is cut all the same.
      {std::string(300, '\x01'),
       [] {
         std::string shown;
         for (int i = 0; i < 233; ++i) shown += "\\x01";
         return shown + "... (cut, 300 bytes in all)";
       }()},
      {std::string(MaxLogText - 2, 'a') + "\x01",
       std::string(MaxLogText - 27, 'a') + "... (cut, 959 bytes in all)"},
      // Only the start of a longer message.
      {"abc", "abc... (cut, 5000 bytes in all)", 5000},
      {"abc", "abc", 3},
  };
  for (const auto& c : cases) {
    const std::string got = CutLogText(c.text, c.whole);
    EXPECT_EQ(got, c.want);
    EXPECT_LE(got.size(), MaxLogText);
  }
  // Every place of the cut across a character of three and of four bytes and an escape: what
  // would straddle it goes whole, and nothing of it is left.
  const std::string long_mark = "... (cut, 1100 bytes in all)";
  const std::size_t room = MaxLogText - long_mark.size();
  for (const auto& [piece, shown] :
       {std::pair<std::string, std::string>{"\xE2\x82\xAC", "\xE2\x82\xAC"},
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"\x1B", "\\x1B"},
        {"\xC2\x85", "\\xC2\\x85"}}) {
    for (std::size_t before = room - shown.size() - 1; before <= room; ++before) {
      const std::string text =
          std::string(before, 'a') + piece + std::string(1100 - before - piece.size(), 'b');
      const bool whole = before + shown.size() <= room;
      const std::string want =
          std::string(before, 'a') +
          (whole ? shown + std::string(room - before - shown.size(), 'b') : "") + long_mark;
      EXPECT_EQ(CutLogText(text), want) << shown << " after " << before << " bytes";
    }
  }
}

struct Legal {
  const char* what;
  std::string text;
  Snapshot want;
};

TEST_F(ConfigRead, LegalFiles) {
  const std::string just_a_text = WithGeneral(R"("Dinolist": {"A": {)" + Species + "}}");
  const Snapshot just_a{{{"A", {1.0f, 0.1f}}}, {}, false};
  const Legal cases[] = {
      {"only an empty General", R"({"General": {}})", {{}, {}, false}},
      {"walk requests kept", R"({"General": {"ReplaceCuddleTypeWalk": false}})", {{}, {}, true}},
      {"null sections", WithGeneral(R"("Dinolist": null, "Footlist": null)"), {{}, {}, false}},
      {"empty sections", WithGeneral(R"("Dinolist": {}, "Footlist": [])"), {{}, {}, false}},
      {"empty array of species", WithGeneral(R"("Dinolist": [])"), {{}, {}, false}},
      {"unknown keys everywhere",
       Doc(R"("Extra": [1, {"x": null}], "General": {"Note": 1, "ReplaceCuddleTypeWalk": false},
              "Dinolist": {"A": {"Comment": "x", )" +
           Species + R"(}})"),
       {{{"A", {1.0f, 0.1f}}}, {}, true}},
      {"key case matters",
       WithGeneral(R"("dinolist": {"A": {)" + Species + R"(}}, "footlist": ["T'/A'"])"),
       {{}, {}, false}},
      {"names as parsed",
       WithGeneral(R"("Dinolist": {"Moss\u0062ack": {)" + Species + R"(}, "Dornhüpfer": {)" +
                   Species + R"(}, "A ": {)" + Species + "}}"),
       {{{"Mossback", {1.0f, 0.1f}}, {"Dornh\u00fcpfer", {1.0f, 0.1f}}, {"A ", {1.0f, 0.1f}}},
        {},
        false}},
      {"food forms",
       WithGeneral(R"("Footlist": ["Blueprint'/Game/A.A'", "Blueprint'/Game/B.B", "'/Game/C'",
                                                "T'/D'extra'", "''", "T'/A'", "T'/A'"])"),
       {{},
        {u"/Game/A.A_C", u"/Game/B.B_C", u"/Game/C_C", u"/D_C", u"_C", u"/A_C", u"/A_C"},
        false}},
      {"foods as an object",
       WithGeneral(R"("Footlist": {"b": "T'/B'", "a": "T'/A'"})"),
       {{}, {u"/A_C", u"/B_C"}, false}},
      {"food as a lone string",
       WithGeneral(R"("Footlist": "T'/Only'")"),
       {{}, {u"/Only_C"}, false}},
      {"food paths beyond ASCII",
       WithGeneral(R"("Footlist": ["T'/Nüsse'", "T'/N\u00fcsse'", "T'/𝄞'"])"),
       {{}, {u"/N\u00FCsse_C", u"/N\u00FCsse_C", u"/\U0001D11E_C"}, false}},
      // A repeated key: the first counts. Later values that would fail the read are dropped whole,
      // so they never get that far.
      {"repeated General",
       R"({"General": {"ReplaceCuddleTypeWalk": false}, "General": {}})",
       {{}, {}, true}},
      {"repeated walk setting",
       R"({"General": {"ReplaceCuddleTypeWalk": false, "ReplaceCuddleTypeWalk": true}})",
       {{}, {}, true}},
      {"repeated Dinolist",
       WithGeneral(R"("Dinolist": {"A": {)" + Species + R"(}}, "Dinolist": {"B": {)" + Species +
                   "}}"),
       just_a},
      {"repeated species name",
       WithGeneral(R"("Dinolist": {"A": {)" + Species +
                   R"(}, "A": {"CuddleIntervalTime": 9, "CuddleIncreasePercent": 0.9}})"),
       just_a},
      {"repeated species setting",
       WithGeneral(
           R"("Dinolist": {"A": {"CuddleIntervalTime": 3, "CuddleIntervalTime": 5, "CuddleIncreasePercent": 0.3}})"),
       {{{"A", {3.0f, 0.3f}}}, {}, false}},
      {"bad later Footlist",
       WithGeneral(R"("Footlist": ["T'/A'"], "Footlist": [5, "Berry"])"),
       {{}, {u"/A_C"}, false}},
      {"bad later species", WithGeneral(R"("Dinolist": {"A": {)" + Species + R"(}, "A": "fast"})"),
       just_a},
      // Around the document: a byte-order mark, and whatever text follows it.
      {"byte-order mark", "\xEF\xBB\xBF" + just_a_text, just_a},
      {"trailing words", just_a_text + " trailing words {", just_a},
      {"trailing brace", just_a_text + "\n}", just_a},
      {"a second document", just_a_text + WithGeneral(R"("Dinolist": {"B": {)" + Species + "}}"),
       just_a},
      {"byte-order marks before and after", "\xEF\xBB\xBF" + just_a_text + "\xEF\xBB\xBF", just_a},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LoadGood();
    ExpectSame(c.want, ReadGood(c.text));
  }
}

// Numbers, integer or not, and booleans become 32-bit floats as read, with no range check.
TEST_F(ConfigRead, NumbersBecomeFloats) {
  const struct {
    const char* json;
    float want;
  } cases[] = {
      {"2", 2.0f},
      {"true", 1.0f},
      {"false", 0.0f},
      {"-3", -3.0f},
      {"0.1", 0.1f},
      {"123456789", 123456792.0f},  // the nearest float
      {"18446744073709551615", 18446744073709551615.0f},
      {"-9223372036854775808", -9223372036854775808.0f},
      {"99999999999999999999", 1e20f},  // past 64 bits, parsed as a double
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    const auto got =
        ReadGood(WithGeneral(std::string(R"("Dinolist": {"A": {"CuddleIntervalTime": )") + c.json +
                             R"(, "CuddleIncreasePercent": )" + c.json + "}}"));
    ASSERT_EQ(got.species.count("A"), 1u);
    EXPECT_EQ(got.species.at("A").CuddleIntervalTime, c.want);
    EXPECT_EQ(got.species.at("A").CuddleIncreasePercent, c.want);
  }
  const auto zero = ReadGood(WithGeneral(
      R"("Dinolist": {"A": {"CuddleIntervalTime": -0.0, "CuddleIncreasePercent": 0}})"));
  EXPECT_TRUE(std::signbit(zero.species.at("A").CuddleIntervalTime));
}

// The parsed document itself, and what the parse noticed along the way. Of repeated keys the first
// counts; of what the module does not read nothing is kept, and of what it reads for its type
// alone, an empty value of that type.
TEST(ConfigParse, KeepsWhatTheModuleReads) {
  const struct {
    const char* text;
    const char* want;
    std::vector<std::pair<std::string, int>> notes;
    // What nestkeep-check's read keeps, where it differs: strings read for their type alone, whole,
    // so that the checker can quote them.
    const char* want_with_notes = nullptr;
  } cases[] = {
      {R"({"General": 1, "General": 2, "Footlist": 3})",
       R"({"General": 1, "Footlist": 3})",
       {{"General", 2}}},
      {R"({"General": 1, "General": 2, "General": {"x": 1}})",
       R"({"General": 1})",
       {{"General", 3}}},
      {R"({"Dinolist": {"A": {"CuddleIntervalTime": 1}, "B": {"CuddleIntervalTime": 2}}})",
       R"({"Dinolist": {"A": {"CuddleIntervalTime": 1}, "B": {"CuddleIntervalTime": 2}}})",
       {}},
      {R"({"Dinolist": {"A": {"CuddleIntervalTime": 1, "CuddleIntervalTime": 2}, "A": {}}})",
       R"({"Dinolist": {"A": {"CuddleIntervalTime": 1}}})",
       {{R"(Dinolist/"A"/CuddleIntervalTime)", 2}, {R"(Dinolist/"A")", 2}}},
      // A dropped value with containers inside: the parse picks up again after it.
      {R"({"Footlist": ["T'/A'"], "Footlist": {"c": [[3], {"d": {}}]}, "General": 0})",
       R"({"Footlist": ["T'/A'"], "General": 0})",
       {{"Footlist", 2}}},
      // Repeats inside a dropped value do not matter and are not noted.
      {R"({"General": {"ReplaceCuddleTypeWalk": 1}, "General": {"y": 1, "y": 2}})",
       R"({"General": {"ReplaceCuddleTypeWalk": 1}})",
       {{"General", 2}}},
      // Repeats inside what the module does not read are noted all the same.
      {R"({"Footlist": [{"a": 1, "a": 2}, {"a": 3}]})",
       R"({"Footlist": [{}, {}]})",
       {{R"(Footlist/0/"a")", 2}}},
      {R"([{"a": 1}, {"a": 2, "a": 3}])", "[]", {{R"(1/"a")", 2}}},
      {R"({"Notes": {"r": [1, {"s": 1, "s": 2}], "r": 2}, "Notes": 3})",
       "{}",
       {{R"("Notes"/"r"/1/"s")", 2}, {R"("Notes"/"r")", 2}, {R"("Notes")", 2}}},
      // Unknown keys at every level go; values read for their type become empty.
      {R"({"Extra": [1, {"x": 2}], "General": {"Note": "x", "ReplaceCuddleTypeWalk": [true]},
          "Dinolist": {"A": [1], "B": "fast", "C": 5, "D": null,
                       "E": {"CuddleIntervalTime": {"x": 1}, "CuddleIncreasePercent": "0.1",
                             "Note": [1]}},
          "Footlist": ["T'/A'", {"x": 1}, [1], 2, null]})",
       R"({"General": {"ReplaceCuddleTypeWalk": []},
           "Dinolist": {"A": [], "B": "", "C": 5, "D": null,
                        "E": {"CuddleIntervalTime": {}, "CuddleIncreasePercent": ""}},
           "Footlist": ["T'/A'", {}, [], 2, null]})",
       {},
       R"({"General": {"ReplaceCuddleTypeWalk": []},
           "Dinolist": {"A": [], "B": "fast", "C": 5, "D": null,
                        "E": {"CuddleIntervalTime": {}, "CuddleIncreasePercent": "0.1"}},
           "Footlist": ["T'/A'", {}, [], 2, null]})"},
      {R"({"General": "on", "Dinolist": "A", "Footlist": "T'/A'"})",
       R"({"General": "", "Dinolist": "", "Footlist": "T'/A'"})",
       {},
       R"({"General": "on", "Dinolist": "A", "Footlist": "T'/A'"})"},
      {R"({"General": [1], "Dinolist": true, "Footlist": {"b": "T'/B'", "a": [1]}})",
       R"({"General": [], "Dinolist": true, "Footlist": {"b": "T'/B'", "a": []}})",
       {}},
      // Of an array of species only the first is read: the read fails after it.
      {R"({"Dinolist": [{"CuddleIntervalTime": 1, "x": 2}, {"y": 1}, 3]})",
       R"({"Dinolist": [{"CuddleIntervalTime": 1}]})",
       {}},
      {R"("a lone string")", R"("a lone string")", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ConfigNotes notes;
    EXPECT_EQ(ParseConfigText(c.text, &notes),
              json::parse(c.want_with_notes ? c.want_with_notes : c.want));
    std::vector<std::pair<std::string, int>> got;
    for (const auto& note : notes.repeated_keys) got.emplace_back(note.path, note.times);
    EXPECT_EQ(got, c.notes);
    EXPECT_EQ(ParseConfigText(c.text), json::parse(c.want));  // no notes asked for
  }
}

TEST(ConfigParse, FoodPathsMustBeUtf8) {
  // The parser rejects ill-formed UTF-8 in a file before foods are built, so these come in as
  // documents made in code.
  const struct {
    std::string element;
    std::optional<std::u16string> path;  // none: the read fails
    std::string message;
  } cases[] = {
      {"T'/\xF0\x9D\x84\x9E'", u"/\U0001D11E_C", ""},
      {"T'/\xC3('", std::nullopt, R"(Footlist element "T'/\xC3('" is not valid UTF-8)"},
      {"T'/\xC0\xAF'", std::nullopt, R"(Footlist element "T'/\xC0\xAF'" is not valid UTF-8)"},
      {"T'/\xED\xA0\x80'", std::nullopt,
       R"(Footlist element "T'/\xED\xA0\x80'" is not valid UTF-8)"},
      {"T'/\xF4\x90\x80\x80'", std::nullopt,
       R"(Footlist element "T'/\xF4\x90\x80\x80'" is not valid UTF-8)"},
      {"T'/\xE2\x82", std::nullopt, R"(Footlist element "T'/\xE2\x82" is not valid UTF-8)"},
      {"T'/\x80'", std::nullopt, R"(Footlist element "T'/\x80'" is not valid UTF-8)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    json doc = {{"Footlist", {c.element}}};
    if (c.path) {
      EXPECT_EQ(BuildFoodList(doc), std::vector<std::u16string>{*c.path});
      continue;
    }
    try {
      BuildFoodList(doc);
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
}

TEST(ConfigParse, SplitString) {
  const struct {
    const char* text;
    const char* delimiter;
    std::vector<std::string> want;
  } cases[] = {
      {"Type'Path'", "'", {"Type", "Path"}},
      {"'Path'", "'", {"", "Path"}},
      {"Type'Path", "'", {"Type", "Path"}},
      {"text", "'", {"text"}},
      {"", "'", {}},
      {"'", "'", {""}},
      {"''", "'", {"", ""}},
      {"a''b", "'", {"a", "", "b"}},
      {"a::b::", "::", {"a", "b"}},
      {"a:b", "::", {"a:b"}},
      {"a", "abc", {"a"}},
      {"abc", "", {"abc"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitString(c.text, c.delimiter), c.want) << c.text << " at " << c.delimiter;
  }
}

class ConfigReaders : public ConfigRead {};

TEST_F(ConfigReaders, FindSpecies) {
  ReadGood(WithGeneral(R"("Dinolist": {
    "Mossback": {"CuddleIntervalTime": 0.5, "CuddleIncreasePercent": 0.05},
    "Zero": {"CuddleIntervalTime": 0, "CuddleIncreasePercent": 0},
    "Back": {"CuddleIntervalTime": -2, "CuddleIncreasePercent": -0.5}})"));
  const struct {
    const char* name;
    bool found;
    std::pair<float, float> want;
  } cases[] = {
      {"Mossback", true, {30.0f, 0.05f}},
      {"Zero", true, {0.0f, 0.0f}},
      {"Back", true, {-120.0f, -0.5f}},
      {"mossback", false, {}},
      {"Mossback ", false, {}},
      {" Mossback", false, {}},
      {"Moss", false, {}},
      {"", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::pair<float, float> out{-7.0f, -7.0f};
    EXPECT_EQ(FindSpecies(c.name, &out), c.found);
    EXPECT_EQ(out, c.found ? c.want : std::make_pair(-7.0f, -7.0f));
  }
  EXPECT_FALSE(FindSpecies("Mossback", nullptr));
}

TEST_F(ConfigReaders, PickRandomFood) {
  std::u16string out = u"untouched";
  EXPECT_FALSE(PickRandomFood(&out));
  EXPECT_EQ(out, u"untouched");

  ReadGood(WithGeneral(R"("Footlist": ["T'/Only'"])"));
  EXPECT_FALSE(PickRandomFood(nullptr));
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(PickRandomFood(&out));
    EXPECT_EQ(out, u"/Only_C");
  }

  // A seeded generator gives a server the same draws again.
  ReadGood(WithGeneral(R"("Footlist": ["T'/A'", "T'/B'", "T'/C'"])"));
  std::srand(11);
  std::vector<int> draws;
  for (int i = 0; i < 50; ++i) draws.push_back(std::rand());
  std::srand(11);
  std::set<std::u16string> seen;
  for (int draw : draws) {
    ASSERT_TRUE(PickRandomFood(&out));
    EXPECT_EQ(out, FoodList[static_cast<unsigned>(draw) % 3]);
    seen.insert(out);
  }
  EXPECT_EQ(seen.size(), 3u);
}

// A runtime whose RAND_MAX is 32,767: the values given, then those of a linear congruential
// generator of that range.
struct ShortRand {
  std::vector<int> given;
  std::size_t next = 0;
  std::uint32_t state = 1;
  int operator()() {
    if (next < given.size()) return given[next++];
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// Within one draw's range the index is the draw modulo the length; past it, draws are the digits
// of one number, and a number in the last, partial run of the length is drawn again.
TEST(RandomIndex, CombinesDrawsPastTheirRange) {
  const struct {
    std::uint64_t n;
    std::vector<int> draws;
    std::uint64_t want;
  } cases[] = {
      {1, {5}, 0},
      {3, {32767}, 1},
      {32768, {32767}, 32767},
      {32769, {1, 2}, 1},
      {40000, {1, 2}, 32770},
      {40000, {32767, 10943}, 39999},  // the last number below the partial run
      {40000, {32767, 10944, 0, 7}, 7},
      {40000, {32767, 32767, 0, 5}, 5},
      {(1u << 30) + 1, {1, 0, 0}, 1u << 30},
  };
  for (const auto& c : cases) {
    ShortRand draw{c.draws};
    EXPECT_EQ(RandomIndex(c.n, std::ref(draw), 32767), c.want) << c.n;
    EXPECT_EQ(draw.next, c.draws.size()) << c.n;
  }
  // Entries past the range of one draw come up as often as their share.
  ShortRand draw;
  int past = 0;
  for (int i = 0; i < 20000; ++i) past += RandomIndex(40000, std::ref(draw), 32767) >= 32768;
  EXPECT_NEAR(past, 20000 * 7232 / 40000, 300);
}

TEST_F(ConfigReaders, IsWalkCuddleKept) {
  EXPECT_FALSE(IsWalkCuddleKept());  // nothing read yet: walk requests are replaced
  for (const auto& [general, kept] :
       {std::pair{R"({"ReplaceCuddleTypeWalk": false})", true}, std::pair{"{}", false},
        std::pair{R"({"ReplaceCuddleTypeWalk": false})", true},
        std::pair{R"({"ReplaceCuddleTypeWalk": true})", false}}) {
    ReadGood(std::string(R"({"General": )") + general + "}");
    EXPECT_EQ(IsWalkCuddleKept(), kept) << general;
  }
}

}  // namespace
