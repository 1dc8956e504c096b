// The reload command handlers and their replies.
#include "plugin/commands/Commands.h"

#include <array>
#include <cmath>

#include "tests/Fixture.h"

namespace {

const char* GoodConfig =
    R"({"General": {"ReplaceCuddleTypeWalk": false},
        "Dinolist": {"Mossback": {"CuddleIntervalTime": 30, "CuddleIncreasePercent": 0.25}},
        "Footlist": ["Blueprint'/Game/Nursery/Foods/Berries.Berries'"]})";

using Rgba = std::array<float, 4>;
Rgba Channels(const FLinearColor& c) { return {c.R, c.G, c.B, c.A}; }

class Commands : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    RegisterCommands();
  }
  void TearDown() override {
    RemoveCommands();
    HostTest::TearDown();
  }

  std::vector<Game::ChatLine> ConsoleReload() {
    EXPECT_TRUE(Sandbox::RunConsoleCommand(Game::LocalPlayer(), "Nestkeep.reload"));
    return Game::TakeChat();
  }
};

// The good reload reads the file into the running configuration; the failed ones after it keep it.
TEST_F(Commands, AnAdministratorsReloadIsAnsweredInOpaqueWhite) {
  struct Case {
    const char* config;  // null: no file
    const char* reply;
    std::size_t log_lines;
  } cases[] = {
      {GoodConfig, "Successfully reloaded!", 0},
      {"{ not json", "Couldn't reloaded!", 1},
      {nullptr, "Couldn't reloaded!", 1},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(ConfigPath(dir_));
    if (c.config) WriteConfig(c.config);
    std::vector<Game::ChatLine> chat = ConsoleReload();
    ASSERT_EQ(chat.size(), 1u);
    EXPECT_EQ(chat[0].text, c.reply);
    EXPECT_EQ(Channels(chat[0].color), (Rgba{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_FALSE(chat[0].bold);
    EXPECT_EQ(TakeLogLines().size(), c.log_lines) << c.reply;
    EXPECT_EQ(SpeciesTable.size(), 1u);
    EXPECT_EQ(FoodList, std::vector<std::u16string>{u"/Game/Nursery/Foods/Berries.Berries_C"});
    EXPECT_TRUE(IsWalkCuddleKept());
  }
}

// The administrator flag alone decides, whatever the player's other flags.
TEST_F(Commands, ANonAdministratorGetsNothingAndNothingIsReloaded) {
  WriteConfig(GoodConfig);
  const BitField flag = GetBitField(Game::LocalPlayer(), GameNames::IsAdmin);
  const std::uint32_t admin = 1u << flag.bit_position;
  const struct {
    std::uint32_t flags;
    bool reloads;
  } cases[] = {{0, false}, {~admin, false}, {admin, true}};
  for (const auto& c : cases) {
    SpeciesTable.clear();
    Game::LocalPlayer()->PlayerFlags = c.flags;
    EXPECT_EQ(ConsoleReload().size(), c.reloads ? 1u : 0u) << c.flags;
    EXPECT_EQ(SpeciesTable.size(), c.reloads ? 1u : 0u) << c.flags;
  }
  EXPECT_TRUE(TakeLogLines().empty());
}

TEST_F(Commands, RconReloadAnswersWithTheRequestsIdAndNoAdministratorTest) {
  Game::SetAdmin(false);
  Sandbox::SetWorld(nullptr);
  struct Case {
    const char* config;
    std::int32_t id;
    const char* reply;
  } cases[] = {
      {GoodConfig, 7, "Successfully reloaded!\n"},
      {"[1, 2]", -5, "Couldn't reloaded!\n"},
      {GoodConfig, 0, "Successfully reloaded!\n"},
  };
  for (const Case& c : cases) {
    WriteConfig(c.config);
    RCONClientConnection connection;
    EXPECT_TRUE(Sandbox::RunRconCommand(&connection, c.id, "Nestkeep.reload"));
    ASSERT_EQ(connection.sent.size(), 1u);
    EXPECT_EQ(connection.sent[0].id, c.id);
    EXPECT_EQ(connection.sent[0].type, 0);
    EXPECT_EQ(connection.sent[0].text, c.reply);
  }
  EXPECT_TRUE(Game::TakeChat().empty());
}

TEST_F(Commands, MissingArgumentsEndTheHandlersSilently) {
  WriteConfig(GoodConfig);
  FString typed("Nestkeep.reload");
  ReloadConsoleCommand(nullptr, &typed, false);
  ReloadConsoleCommand(Game::LocalPlayer(), nullptr, false);
  RCONPacket* no_packet = nullptr;
  RCONClientConnection connection;
  ReloadRconCommand(nullptr, no_packet, nullptr);
  ReloadRconCommand(&connection, no_packet, nullptr);
  EXPECT_TRUE(connection.sent.empty());
  EXPECT_TRUE(Game::TakeChat().empty());
  EXPECT_TRUE(SpeciesTable.empty());
}

TEST_F(Commands, NoEngineBlockOutlivesARegistrationOrAReload) {
  RemoveCommands();
  const std::int64_t before = Sandbox::LiveBlocks();
  RegisterCommands();
  EXPECT_EQ(Sandbox::LiveBlocks(), before);
  WriteConfig(GoodConfig);
  ConsoleReload();
  RCONClientConnection connection;
  Sandbox::RunRconCommand(&connection, 1, "Nestkeep.reload");
  EXPECT_EQ(Sandbox::LiveBlocks(), before);
}

TEST(ReplyColor, DecodesSrgbAsTheEngineDoes) {
  struct Case {
    FColor color;
    FLinearColor linear;
  } cases[] = {
      {ReplyColor, {1.0f, 1.0f, 1.0f, 1.0f}},
      {{0, 0, 0, 0}, {0.0f, 0.0f, 0.0f, 0.0f}},
      // blue, green, red, alpha in the 8-bit colour; red, green, blue, alpha in the linear one
      {{10, 128, 1, 51},
       {static_cast<float>(1 / 255.0 / 12.92),
        static_cast<float>(std::pow((128 / 255.0 + 0.055) / 1.055, 2.4)),
        static_cast<float>(10 / 255.0 / 12.92), 51 * (1.0f / 255.0f)}},
  };
  for (const Case& c : cases) EXPECT_EQ(Channels(ToLinearColor(c.color)), Channels(c.linear));
}

}  // namespace
