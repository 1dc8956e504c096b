// The sandbox's host runtime: detour chains, name resolution, the allocator, command dispatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/host/Host.h"
#include "sandbox/game/Game.h"

namespace {

std::vector<std::string> calls;
GameFunctions::UpdateImprintingQuality* first_original = nullptr;
GameFunctions::UpdateImprintingQuality* second_original = nullptr;

void First(APrimalDinoCharacter* dino, float q) {
  calls.push_back("first");
  first_original(dino, q + 1);
}

void Second(APrimalDinoCharacter* dino, float q) {
  calls.push_back("second");
  second_original(dino, q * 10);
}

class HostRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    Sandbox::ResetHost();
    Game::ResetGame();
    calls.clear();
    dino_ = Game::Spawn("Mossback", 0, 100, true);
  }
  void TearDown() override { Sandbox::ResetHost(); }

  float Passed(float q) { return Game::SetImprinting(dino_, q).value; }

  APrimalDinoCharacter* dino_ = nullptr;
};

constexpr std::string_view Update = GameNames::UpdateImprintingQuality;

TEST_F(HostRuntime, DetoursChainNewestFirstAndAnyCanBeRemoved) {
  ASSERT_TRUE(SetHook(Update, &First, &first_original));
  ASSERT_TRUE(SetHook(Update, &Second, &second_original));
  EXPECT_EQ(Passed(2), 21);  // second, then first, then the game
  EXPECT_EQ(calls, (std::vector<std::string>{"second", "first"}));

  // Taking out the older one leaves the newer reaching the game directly.
  ASSERT_TRUE(DisableHook(Update, &First));
  calls.clear();
  EXPECT_EQ(Passed(2), 20);
  EXPECT_EQ(calls, (std::vector<std::string>{"second"}));

  ASSERT_TRUE(DisableHook(Update, &Second));
  EXPECT_EQ(Passed(2), 2);
  EXPECT_FALSE(DisableHook(Update, &Second));
  EXPECT_EQ(Sandbox::DetourCount(Update), 0u);
}

TEST_F(HostRuntime, RemovingTheNewestLeavesTheOlderInPlace) {
  ASSERT_TRUE(SetHook(Update, &First, &first_original));
  ASSERT_TRUE(SetHook(Update, &Second, &second_original));
  ASSERT_TRUE(DisableHook(Update, &Second));
  EXPECT_EQ(Passed(2), 3);
  EXPECT_EQ(calls, (std::vector<std::string>{"first"}));
}

TEST_F(HostRuntime, RefusedAndUnknownHooksFail) {
  Sandbox::RefuseHook(Update, true);
  EXPECT_FALSE(SetHook(Update, &First, &first_original));
  Sandbox::RefuseHook(Update, false);
  EXPECT_FALSE(
      SetHook(std::string_view("APrimalDinoCharacter.NoSuchThing"), &First, &first_original));
  EXPECT_EQ(Passed(2), 2);
  EXPECT_EQ(Sandbox::HostEvents(),
            (std::vector<std::string>{"SetHook " + std::string(Update),
                                      "SetHook APrimalDinoCharacter.NoSuchThing"}));
}

TEST_F(HostRuntime, ResolvesFieldsOfRealObjects) {
  EXPECT_EQ(*GetField<UPrimalCharacterStatusComponent*>(dino_, GameNames::StatusComponent),
            dino_->MyCharacterStatusComponent);
  EXPECT_EQ(GetField<float>(dino_, GameNames::TotalMaturationTime),
            &dino_->BabyImprintingQualityTotalMaturationTime);
  EXPECT_EQ(GetField<double>(&Game::World(), GameNames::WorldTimeSeconds),
            &Game::World().TimeSeconds);
  EXPECT_EQ(ArkApi::GetApiUtils().GetWorld(), &Game::World());

  APlayerController* player = Game::LocalPlayer();
  BitField admin = GetBitField(player, GameNames::IsAdmin);
  auto word = [&] { return *reinterpret_cast<const std::uint32_t*>(admin.offset); };
  EXPECT_EQ(admin.num_bits, 1u);
  EXPECT_NE((word() >> admin.bit_position) & 1u, 0u);
  Game::SetAdmin(false);
  EXPECT_EQ((word() >> admin.bit_position) & 1u, 0u);
}

TEST_F(HostRuntime, AnUnknownNameStopsTheProcessNamingIt) {
  EXPECT_DEATH(GetAddress(dino_, "APrimalDinoCharacter.Nope"), "APrimalDinoCharacter.Nope");
  EXPECT_DEATH(GetAddress("Global.Nothing"), "Global.Nothing");
  // A field name is not a function name.
  EXPECT_DEATH(GetAddress(GameNames::DinoNameTag), "DinoNameTag");
}

TEST_F(HostRuntime, TheAllocatorCountsBlocksAndCatchesForeignOnes) {
  const std::int64_t before = Sandbox::LiveBlocks();
  auto* malloc_ = GetFunction<GameFunctions::Malloc>(GameNames::Malloc);
  auto* realloc_ = GetFunction<GameFunctions::Realloc>(GameNames::Realloc);
  auto* free_ = GetFunction<GameFunctions::Free>(GameNames::Free);
  void* block = malloc_(8, 0);
  EXPECT_EQ(Sandbox::LiveBlocks(), before + 1);
  block = realloc_(block, 100);
  EXPECT_EQ(Sandbox::BlockSize(block), 100u);
  EXPECT_EQ(Sandbox::LiveBlocks(), before + 1);
  free_(block);
  free_(nullptr);
  EXPECT_EQ(Sandbox::LiveBlocks(), before);
  alignas(16) static char not_a_block[64] = {};
  EXPECT_DEATH(free_(not_a_block + 16), "did not allocate");
}

TEST_F(HostRuntime, NamesDecodeUtf8IntoUnits) {
  struct Case {
    const char* utf8;
    std::u16string units;
  } cases[] = {
      {"Mossback", u"Mossback"},
      {"\xC3\xA9", u"\u00E9"},
      {"\xF0\x9F\x98\x80", std::u16string{0xD83D, 0xDE00}},
      {"a\xFF"
       "b",
       u"a\uFFFDb"},  // not UTF-8: a replacement character, never a crash
      {"\xE2\x82", u"\uFFFD\uFFFD"},
  };
  auto* to_string = GetFunction<GameFunctions::NameToString>(GameNames::NameToString);
  for (const Case& c : cases) {
    FName name = Sandbox::MakeName(c.utf8);
    FString out;
    to_string(&name, &out);
    EXPECT_EQ(std::u16string(out.data), c.units);
    EXPECT_EQ(out.count, static_cast<std::int32_t>(c.units.size() + 1));
  }
}

TEST_F(HostRuntime, CommandsMatchTheirFirstWordInAnyCase) {
  std::vector<std::string> seen;
  const FString name("Nestkeep.reload");
  ArkApi::GetCommands().AddConsoleCommand(name, [&](APlayerController*, FString* typed, bool) {
    seen.push_back(Sandbox::ToUtf8(typed));
  });
  EXPECT_TRUE(Sandbox::RunConsoleCommand(Game::LocalPlayer(), "nestkeep.RELOAD now"));
  EXPECT_TRUE(Sandbox::RunConsoleCommand(Game::LocalPlayer(), "  Nestkeep.reload"));
  EXPECT_TRUE(Sandbox::RunConsoleCommand(Game::LocalPlayer(), "Nestkeep.reload\r\n"));
  EXPECT_FALSE(Sandbox::RunConsoleCommand(Game::LocalPlayer(), "Nestkeep.reloaded"));
  EXPECT_FALSE(Sandbox::RunRconCommand(nullptr, 1, "Nestkeep.reload"));
  EXPECT_EQ(seen, (std::vector<std::string>{"nestkeep.RELOAD now", "  Nestkeep.reload",
                                            "Nestkeep.reload\r\n"}));
  EXPECT_TRUE(ArkApi::GetCommands().RemoveConsoleCommand(name));
  EXPECT_FALSE(Sandbox::RunConsoleCommand(Game::LocalPlayer(), "Nestkeep.reload"));
  EXPECT_FALSE(ArkApi::GetCommands().RemoveConsoleCommand(name));
}

}  // namespace
