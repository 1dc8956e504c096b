// The imprinting gain detours, driven through the game's real hook path.
#include <bit>
#include <cmath>
#include <iomanip>
#include <limits>

#include "plugin/hooks/Forecast.h"
#include "plugin/hooks/ImprintingRules.h"
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

using Outcome = ImprintingForecast::Outcome;

// A newborn cuddled one cuddle at a time with the detours' arithmetic: what the forecast must
// come to, however it gets there.
ImprintingForecast CuddledOneAtATime(float increase) {
  ImprintingForecast raised;
  float quality = 0;
  while (!IsImprintingComplete(quality)) {
    const float next = quality + CutGain(quality, increase);
    if (!(next > quality)) return {Outcome::Stalls, raised.cuddles, 0, quality};
    quality = next;
    ++raised.cuddles;
  }
  return raised;
}

TEST(Forecast, ComesToWhatCuddlingOneAtATimeDoes) {
  const float smallest_that_stalls = std::ldexp(1.0f, -25);  // half a float's step below 1
  constexpr std::uint64_t AsCuddled = ~std::uint64_t{0};     // as one cuddle at a time comes to
  const struct Case {
    float interval, increase;
    Outcome outcome;
    std::uint64_t cuddles;
    double seconds;  // -1: the cuddles times the interval in seconds
    float stalls_at = 0;
  } cases[] = {
      {15, 0.125f, Outcome::Full, 8, 7200},
      {60, 0.1f, Outcome::Full, 10, 36000},
      {8, 0.3f, Outcome::Full, 4, 1920},  // the last gain cut at full
      {-2, 0.5f, Outcome::Full, 2, 0},    // due at once
      {1, NaN, Outcome::Full, 1, 60},     // the cut passes what is left
      {1e37f, 0.5f, Outcome::NeverDue, 0, 0},
      {5, 0, Outcome::NoGain, 0, 0},
      {5, -0.1f, Outcome::NoGain, 0, 0},
      {1e-30f, 1e-10f, Outcome::Stalls, AsCuddled, 0, std::ldexp(1.0f, -9)},
      {1, smallest_that_stalls, Outcome::Stalls, AsCuddled, 0, 0.5f},
      // Millions of cuddles, where the forecast jumps over runs of equal steps: a tie that rounds
      // the first step of a binade apart from the rest, and plain ones.
      {1, std::nextafter(smallest_that_stalls, 1.0f), Outcome::Full, AsCuddled, -1},
      {1, 3 * std::ldexp(1.0f, -26), Outcome::Full, AsCuddled, -1},
      {1, 1e-6f, Outcome::Full, AsCuddled, -1},
      {2.5f, 7.3e-5f, Outcome::Full, AsCuddled, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "interval " << c.interval << " increase " << c.increase);
    const ImprintingForecast forecast = ForecastImprinting({c.interval, c.increase});
    const std::uint64_t cuddles =
        c.cuddles == AsCuddled ? CuddledOneAtATime(c.increase).cuddles : c.cuddles;
    EXPECT_EQ(forecast.outcome, c.outcome);
    EXPECT_EQ(forecast.cuddles, cuddles);
    if (c.outcome == Outcome::Full) {
      EXPECT_EQ(forecast.seconds, c.seconds >= 0 ? c.seconds : cuddles * double{c.interval * 60});
    }
    EXPECT_EQ(forecast.stalls_at, c.stalls_at);
  }
}

TEST(Forecast, DurationsReadAsPeopleCountThem) {
  const struct {
    double seconds;
    std::string text;
  } cases[] = {{2670, "45 min"},
               {7200, "2h 00m"},
               {172740, "47h 59m"},
               {288000, "3d 08h"},
               {1e300, "over a million days"}};
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

}  // namespace
