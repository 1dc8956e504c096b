// The cuddle request detour, driven through the game's real hook path.
#include <gmock/gmock.h>

#include <cmath>
#include <limits>
#include <set>

#include "tests/Fixture.h"

namespace {

constexpr const char* Berries = "/Game/Nursery/Foods/Berries.Berries_C";
constexpr const char* Missing = "/Game/Nursery/Foods/Missing.Missing_C";

class Cuddling : public HookedTest {
 protected:
  void SetUp() override {
    HookedTest::SetUp();
    SpeciesTable["Mossback"] = {30, 0.25f};  // 1800 seconds
    Game::World().TimeSeconds = 1000.5;
    game_food_ = Game::AddContent("/Game/Nursery/Foods/Meat.Meat_C");
    berries_ = Game::AddContent(Berries);
  }

  APrimalDinoCharacter* Baby(float quality, const char* species = "Mossback", bool status = true) {
    return Game::Spawn(species, quality, 7200, status);
  }

  UObject* game_food_ = nullptr;
  UObject* berries_ = nullptr;
};

const double Due = 99999;  // what the game proposes

TEST_F(Cuddling, KindAndFoodFollowTheDecisionTable) {
  enum Walk { Replaced, Kept };
  enum Foods { Empty, Loads, DoesNotLoad };
  enum Passed { GameFood, LoadedFood };
  enum Log { Silent, Logged };
  struct Case {
    std::uint8_t kind;
    Walk walk;
    Foods foods;
    std::uint8_t kind_passed;
    Passed food_passed;
    Log log;
  } cases[] = {
      {1, Replaced, Empty, 1, GameFood, Silent},
      {1, Kept, Empty, 1, GameFood, Silent},
      {1, Replaced, Loads, 1, LoadedFood, Silent},
      {1, Kept, Loads, 1, LoadedFood, Silent},
      {1, Replaced, DoesNotLoad, 1, GameFood, Logged},
      {1, Kept, DoesNotLoad, 1, GameFood, Logged},
      {2, Replaced, Empty, 0, GameFood, Silent},
      {2, Replaced, Loads, 1, LoadedFood, Silent},
      {2, Replaced, DoesNotLoad, 0, GameFood, Logged},
      {2, Kept, Empty, 2, GameFood, Silent},
      {2, Kept, Loads, 2, GameFood, Silent},
      {0, Replaced, Loads, 0, GameFood, Silent},
      {3, Replaced, Loads, 3, GameFood, Silent},
      {255, Replaced, Loads, 255, GameFood, Silent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << "kind " << int(c.kind) << " walk " << c.walk << " foods " << c.foods);
    KeepWalkCuddle = c.walk == Kept;
    FoodList.clear();
    if (c.foods == Loads) FoodList = {u"/Game/Nursery/Foods/Berries.Berries_C"};
    if (c.foods == DoesNotLoad) FoodList = {u"/Game/Nursery/Foods/Missing.Missing_C"};
    Game::CuddleCall call = Game::RequestCuddle(Baby(0.5f), Due, c.kind, game_food_);
    EXPECT_EQ(call.kind, c.kind_passed);
    EXPECT_EQ(call.food, c.food_passed == LoadedFood ? berries_ : game_food_);
    EXPECT_EQ(call.due, 1000.5 + 1800);
    std::vector<std::string> lines = TakeLogLines();
    if (c.log == Logged) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_THAT(lines[0],
                  ::testing::EndsWith(
                      std::string("[Nestkeep][error] can not create object blueprint ") + Missing));
    } else {
      EXPECT_TRUE(lines.empty());
    }
  }
}

// The line names the path as the module has it, but no path can break the line, forge another or
// make it longer than 1 KiB.
TEST_F(Cuddling, TheFoodLineShowsThePathSafely) {
  const std::u16string clef = u"\U0001D11E";
  std::u16string clefs;
  for (int i = 0; i < 30000; ++i) clefs += clef;
  const struct {
    std::u16string path;
    std::string ends;  // the line's end, after the logger's name and level
  } cases[] = {
      {u"/Game/" + std::u16string(100000, u'x') + u"_C", "x... (cut, 100040 bytes in all)"},
      // Four bytes for each pair of units, counted without converting the rest.
      {u"/" + clefs, "\xF0\x9D\x84\x9E... (cut, 120033 bytes in all)"},
      {u"/Game/A\n01/01/26 00:00 [Nestkeep][error] forged\r\x1B[2J\x7F_C",
       "blueprint /Game/A\\x0A01/01/26 00:00 [Nestkeep][error] forged\\x0D\\x1B[2J\\x7F_C"},
  };
  for (const auto& c : cases) {
    FoodList = {c.path};
    Game::RequestCuddle(Baby(0.5f), Due, 1, game_food_);
    std::vector<std::string> lines = TakeLogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LE(lines[0].size(), 1024u);
    EXPECT_THAT(lines[0],
                ::testing::HasSubstr("[Nestkeep][error] can not create object blueprint /"));
    EXPECT_THAT(lines[0], ::testing::EndsWith(c.ends));
  }
}

TEST_F(Cuddling, CompleteImprintingWaitsForMaturation) {
  struct Case {
    float quality;
    bool complete;
  } cases[] = {
      {1.0f, true},
      {std::nextafter(1.0f, 0.0f), true},     // 0.99999994
      {1.0f - std::ldexp(1.0f, -23), false},  // 0.99999988
      {1.0f + std::ldexp(1.0f, -23), false},  // 1.00000012
      {0.0f, false},
      {std::numeric_limits<float>::quiet_NaN(), false},
  };
  for (const Case& c : cases) {
    Game::CuddleCall call = Game::RequestCuddle(Baby(c.quality), Due, 0, nullptr);
    EXPECT_EQ(call.due, 1000.5 + (c.complete ? 7200 : 1800)) << c.quality;
  }
}

TEST_F(Cuddling, TheIntervalIsAddedInSingleThenDoublePrecision) {
  SpeciesTable["Mossback"] = {0.1f, 0.25f};
  Game::World().TimeSeconds = 1e9;
  Game::CuddleCall call = Game::RequestCuddle(Baby(0), Due, 0, nullptr);
  EXPECT_EQ(call.due, 1e9 + static_cast<double>(0.1f * 60.0f));
  SpeciesTable["Mossback"] = {0, 0.25f};
  EXPECT_EQ(Game::RequestCuddle(Baby(0), Due, 0, nullptr).due, 1e9);  // due at once
  SpeciesTable["Mossback"] = {-2, 0.25f};
  EXPECT_EQ(Game::RequestCuddle(Baby(0), Due, 0, nullptr).due, 1e9 - 120);
}

TEST_F(Cuddling, CreaturesTheModuleDoesNotHandlePassUnchanged) {
  FoodList = {u"/Game/Nursery/Foods/Berries.Berries_C"};
  struct Case {
    const char* what;
    APrimalDinoCharacter* dino;
  } cases[] = {
      {"unlisted", Baby(0.5f, "Thornhopper")},
      {"other case", Baby(0.5f, "mossback")},
      {"trailing blank", Baby(0.5f, "Mossback ")},
      {"no creature", nullptr},
  };
  for (const Case& c : cases) {
    for (std::uint8_t kind : {0, 1, 2}) {
      Game::CuddleCall call = Game::RequestCuddle(c.dino, Due, kind, game_food_);
      EXPECT_EQ(call.dino, c.dino) << c.what;
      EXPECT_EQ(call.due, Due) << c.what;
      EXPECT_EQ(call.kind, kind) << c.what;
      EXPECT_EQ(call.food, game_food_) << c.what;
    }
  }
  EXPECT_EQ(Game::LoadRequests(), 0u);
  EXPECT_TRUE(TakeLogLines().empty());
}

TEST_F(Cuddling, WithoutStatusOrWorldOnlyTheDueTimeStands) {
  FoodList = {u"/Game/Nursery/Foods/Berries.Berries_C"};
  Game::CuddleCall call = Game::RequestCuddle(Baby(0, "Mossback", false), Due, 2, game_food_);
  EXPECT_EQ(call.due, Due);
  EXPECT_EQ(call.kind, 1);
  EXPECT_EQ(call.food, berries_);

  Sandbox::SetWorld(nullptr);
  call = Game::RequestCuddle(Baby(0.5f), Due, 1, game_food_);
  EXPECT_EQ(call.due, Due);
  EXPECT_EQ(call.food, berries_);
}

TEST_F(Cuddling, FoodsAreDrawnFromTheWholeList) {
  Game::AddContent("/Game/Nursery/Foods/Kelp.Kelp_C");
  FoodList = {u"/Game/Nursery/Foods/Berries.Berries_C", u"/Game/Nursery/Foods/Kelp.Kelp_C"};
  std::srand(7);
  std::set<UObject*> seen;
  for (int i = 0; i < 64; ++i) seen.insert(Game::RequestCuddle(Baby(0), Due, 1, nullptr).food);
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(Game::LoadRequests(), 64u);  // loaded anew for every request
}

TEST_F(Cuddling, AReloadTakesEffectAtTheNextCall) {
  APrimalDinoCharacter* baby = Baby(0);
  EXPECT_EQ(Game::RequestCuddle(baby, Due, 0, nullptr).due, 1000.5 + 1800);
  SpeciesTable["Mossback"] = {1, 0.25f};
  EXPECT_EQ(Game::RequestCuddle(baby, Due, 0, nullptr).due, 1000.5 + 60);
  SpeciesTable.clear();
  EXPECT_EQ(Game::RequestCuddle(baby, Due, 0, nullptr).due, Due);
}

TEST_F(Cuddling, LeavesNoEngineBlockBehind) {
  FoodList = {u"/Game/Nursery/Foods/Berries.Berries_C", u"/Game/Nursery/Foods/Missing.Missing_C"};
  const std::int64_t before = Sandbox::LiveBlocks();
  APrimalDinoCharacter* listed = Baby(0.3f, "Mossback");
  APrimalDinoCharacter* unlisted = Baby(0.3f, "Thornhopper");
  for (int i = 0; i < 200; ++i) {
    for (std::uint8_t kind : {0, 1, 2}) {
      Game::RequestCuddle(listed, Due, kind, nullptr);
      Game::RequestCuddle(unlisted, Due, kind, nullptr);
    }
  }
  EXPECT_EQ(Sandbox::LiveBlocks(), before);
}

}  // namespace
