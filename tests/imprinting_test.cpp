// The imprinting gain detours, driven through the game's real hook path.
#include <bit>
#include <cmath>
#include <iomanip>
#include <limits>

#include "tests/Fixture.h"

namespace {

using Imprinting = HookedTest;

const float NaN = std::numeric_limits<float>::quiet_NaN();

// Same bits, so that NaN and signed zeros compare as they should.
::testing::AssertionResult SameFloat(float actual, float expected) {
  if (std::bit_cast<std::uint32_t>(actual) == std::bit_cast<std::uint32_t>(expected))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::setprecision(9) << actual << " is not " << expected;
}

TEST_F(Imprinting, GainsAreTheIncreaseCappedAtFull) {
  struct Case {
    float quality, increase;
    float new_quality;  // what UpdateImprintingQuality passes on
    float amount;       // what AddedImprintingQuality passes on
  } cases[] = {
      {0.5f, 0.1f, 0.1f + 0.5f, 0.1f}, {0.95f, 0.1f, 1.0f, 1.0f - 0.95f},  // 0.050000012
      {1.0f, 0.3f, 1.0f, 0.0f},        {1.0f, 0.0f, 1.0f, 0.0f},
      {1.2f, 0.1f, 1.0f, 0.0f},  // above full: pulled back to full, nothing added
      {0.4f, 0.0f, 0.4f, 0.0f},        {0.4f, -0.1f, -0.1f + 0.4f, -0.1f},  // no lower bound
      {0.0f, 1.0f, 1.0f, 1.0f},        {0.0f, 25.0f, 1.0f, 1.0f},
      {NaN, 0.1f, 1.0f, 0.0f},         {0.5f, NaN, 1.0f, 0.5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "quality " << c.quality << " increase " << c.increase);
    SpeciesTable["Mossback"] = {30, c.increase};
    for (float proposed : {0.0f, 0.7f, -3.0f}) {
      APrimalDinoCharacter* baby = Game::Spawn("Mossback", c.quality, 7200, true);
      EXPECT_TRUE(SameFloat(Game::SetImprinting(baby, proposed).value, c.new_quality));
      baby->MyCharacterStatusComponent->DinoImprintingQuality = c.quality;
      EXPECT_TRUE(SameFloat(Game::AddImprinting(baby, proposed).value, c.amount));
    }
  }
}

TEST_F(Imprinting, CreaturesTheModuleDoesNotHandlePassTheGamesValue) {
  SpeciesTable["Mossback"] = {30, 0.25f};
  struct Case {
    const char* what;
    APrimalDinoCharacter* dino;
  } cases[] = {
      {"unlisted", Game::Spawn("Thornhopper", 0.5f, 7200, true)},
      {"no status component", Game::Spawn("Mossback", 0.5f, 7200, false)},
      {"no creature", nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(SameFloat(Game::SetImprinting(c.dino, 0.7f).value, 0.7f)) << c.what;
    EXPECT_TRUE(SameFloat(Game::AddImprinting(c.dino, 0.7f).value, 0.7f)) << c.what;
  }
}

TEST_F(Imprinting, TheIncreaseIsReadAfreshOnEveryCall) {
  SpeciesTable["Mossback"] = {30, 0.25f};
  APrimalDinoCharacter* baby = Game::Spawn("Mossback", 0, 7200, true);
  Game::AddImprinting(baby, 0.01f);
  SpeciesTable["Mossback"] = {30, 0.5f};
  Game::AddImprinting(baby, 0.01f);
  Game::AddImprinting(baby, 0.01f);
  EXPECT_EQ(baby->MyCharacterStatusComponent->DinoImprintingQuality, 1.0f);
}

TEST_F(Imprinting, LeavesNoEngineBlockBehind) {
  SpeciesTable["Mossback"] = {30, 0.25f};
  const std::int64_t before = Sandbox::LiveBlocks();
  APrimalDinoCharacter* baby = Game::Spawn("Mossback", 0, 7200, true);
  for (int i = 0; i < 500; ++i) {
    Game::SetImprinting(baby, 0.1f);
    Game::AddImprinting(baby, 0.1f);
  }
  EXPECT_EQ(Sandbox::LiveBlocks(), before);
}

}  // namespace
