// Installing and removing the detours, as the host sees it.
#include "plugin/hooks/Hooks.h"
#include "tests/Fixture.h"

namespace {

using HookInstall = HostTest;

const std::string Cuddling(GameNames::UpdateBabyCuddling);
const std::string Update(GameNames::UpdateImprintingQuality);
const std::string Added(GameNames::AddedImprintingQuality);

TEST_F(HookInstall, ARefusedInstallLeavesTheOthersInPlace) {
  Sandbox::RefuseHook(Update, true);
  InstallHooks();
  EXPECT_EQ(Sandbox::DetourCount(Cuddling), 1u);
  EXPECT_EQ(Sandbox::DetourCount(Update), 0u);
  EXPECT_EQ(Sandbox::DetourCount(Added), 1u);

  SpeciesTable["Mossback"] = {30, 0.25f};
  APrimalDinoCharacter* baby = Game::Spawn("Mossback", 0.5f, 7200, true);
  EXPECT_EQ(Game::SetImprinting(baby, 0.6f).value, 0.6f);  // the game's own, untouched
  EXPECT_EQ(Game::AddImprinting(baby, 0.01f).value, 0.25f);

  RemoveHooks();
  std::vector<std::string> events = Sandbox::HostEvents();
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(events.begin() + 3, events.end()),
            (std::vector<std::string>{"DisableHook " + Cuddling, "DisableHook " + Update,
                                      "DisableHook " + Added}));
  EXPECT_EQ(Sandbox::DetourCount(Cuddling) + Sandbox::DetourCount(Added), 0u);
}

}  // namespace
