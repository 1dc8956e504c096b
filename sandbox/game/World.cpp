// The simulated world and the game's own functions.
#include <cstddef>
#include <map>

#include "sandbox/game/Game.h"

namespace {

struct GameState {
  UWorld world;
  std::vector<std::unique_ptr<APrimalDinoCharacter>> dinos;
  std::vector<std::unique_ptr<UPrimalCharacterStatusComponent>> components;
  std::map<std::string, std::unique_ptr<UObject>, std::less<>> content;
  AShooterPlayerController player;
  std::vector<Game::ChatLine> chat;
  std::uint64_t load_requests = 0;
  // What the game's own functions received last.
  Game::CuddleCall cuddle{};
  Game::QualityCall quality{};
};

GameState& State() {
  static GameState state;
  return state;
}

UClass UObjectClass;
constexpr std::uint32_t AdminBit = 3;

UClass* StaticClass() { return &UObjectClass; }

// The game's own three functions: what a call reaches once no detour stands in front.
void OwnUpdateBabyCuddling(APrimalDinoCharacter* dino, double due, std::uint8_t kind,
                           UObject* food) {
  State().cuddle = Game::CuddleCall{dino, due, kind, food};
  if (!dino) return;
  dino->BabyNextCuddleTime = due;
  dino->BabyCuddleType = kind;
  dino->BabyCuddleFood = food;
}

void OwnUpdateImprintingQuality(APrimalDinoCharacter* dino, float quality) {
  State().quality = Game::QualityCall{dino, quality};
  if (dino && dino->MyCharacterStatusComponent)
    dino->MyCharacterStatusComponent->DinoImprintingQuality = quality;
}

void OwnAddedImprintingQuality(APrimalDinoCharacter* dino, float amount) {
  State().quality = Game::QualityCall{dino, amount};
  if (dino && dino->MyCharacterStatusComponent)
    dino->MyCharacterStatusComponent->DinoImprintingQuality += amount;
}

UObject* StaticLoadObject(UClass*, UObject*, const EngineChar* name, const EngineChar*,
                          std::uint32_t, void*, bool) {
  ++State().load_requests;
  return name ? Game::LoadContent(Sandbox::ToUtf8(std::u16string_view(name))) : nullptr;
}

void ClientServerChatDirectMessage(AShooterPlayerController* player, FString* message,
                                   FLinearColor color, bool bold) {
  if (player == &State().player) State().chat.push_back({Sandbox::ToUtf8(message), color, bold});
}

void SendMessageW(RCONClientConnection* connection, std::int32_t id, std::int32_t type,
                  FString* message) {
  if (connection) connection->sent.push_back({id, type, Sandbox::ToUtf8(message)});
}

using Cuddling = GameFunctions::UpdateBabyCuddling;
using Quality = GameFunctions::UpdateImprintingQuality;

void* const* cuddling_entry;
void* const* update_quality_entry;
void* const* added_quality_entry;

const bool registered = [] {
  using Sandbox::RegisterField;
  using Sandbox::RegisterFunction;
  RegisterField(GameNames::DinoNameTag, offsetof(APrimalDinoCharacter, DinoNameTag));
  RegisterField(GameNames::StatusComponent,
                offsetof(APrimalDinoCharacter, MyCharacterStatusComponent));
  RegisterField(GameNames::TotalMaturationTime,
                offsetof(APrimalDinoCharacter, BabyImprintingQualityTotalMaturationTime));
  RegisterField(GameNames::ImprintingQuality,
                offsetof(UPrimalCharacterStatusComponent, DinoImprintingQuality));
  RegisterField(GameNames::WorldTimeSeconds, offsetof(UWorld, TimeSeconds));
  Sandbox::RegisterBitField(GameNames::IsAdmin, offsetof(APlayerController, PlayerFlags), AdminBit,
                            1);
  RegisterFunction(GameNames::StaticClass, reinterpret_cast<void*>(&StaticClass));
  RegisterFunction(GameNames::StaticLoadObject, reinterpret_cast<void*>(&StaticLoadObject));
  RegisterFunction(GameNames::ChatDirectMessage,
                   reinterpret_cast<void*>(&ClientServerChatDirectMessage));
  RegisterFunction(GameNames::RconSendMessage, reinterpret_cast<void*>(&SendMessageW));
  cuddling_entry = Sandbox::RegisterHookable(GameNames::UpdateBabyCuddling,
                                             reinterpret_cast<void*>(&OwnUpdateBabyCuddling));
  update_quality_entry = Sandbox::RegisterHookable(
      GameNames::UpdateImprintingQuality, reinterpret_cast<void*>(&OwnUpdateImprintingQuality));
  added_quality_entry = Sandbox::RegisterHookable(
      GameNames::AddedImprintingQuality, reinterpret_cast<void*>(&OwnAddedImprintingQuality));
  Game::ResetGame();
  return true;
}();

}  // namespace

namespace Game {

void ResetGame() {
  GameState& s = State();
  s.world = UWorld{};
  s.dinos.clear();
  s.components.clear();
  s.content.clear();
  s.player = AShooterPlayerController{};
  s.chat.clear();
  s.load_requests = 0;
  SetAdmin(true);
  Sandbox::SetWorld(&s.world);
}

UWorld& World() { return State().world; }

APrimalDinoCharacter* Spawn(std::string_view species, float quality, float maturation,
                            bool with_status) {
  GameState& s = State();
  auto dino = std::make_unique<APrimalDinoCharacter>();
  dino->id = static_cast<std::int32_t>(s.dinos.size() + 1);
  dino->DinoNameTag = Sandbox::MakeName(species);
  dino->BabyImprintingQualityTotalMaturationTime = maturation;
  if (with_status) {
    s.components.push_back(std::make_unique<UPrimalCharacterStatusComponent>());
    s.components.back()->DinoImprintingQuality = quality;
    dino->MyCharacterStatusComponent = s.components.back().get();
  }
  s.dinos.push_back(std::move(dino));
  return s.dinos.back().get();
}

APrimalDinoCharacter* FindDino(std::int32_t id) {
  GameState& s = State();
  if (id < 1 || static_cast<std::size_t>(id) > s.dinos.size()) return nullptr;
  return s.dinos[static_cast<std::size_t>(id) - 1].get();
}

std::string Species(const APrimalDinoCharacter* dino) {
  return Sandbox::NameText(dino->DinoNameTag);
}

UObject* AddContent(std::string_view path) {
  auto& content = State().content;
  auto it = content.find(path);
  if (it == content.end()) {
    auto object = std::make_unique<UObject>();
    object->ClassPrivate = &UObjectClass;
    object->path = std::string(path);
    it = content.emplace(std::string(path), std::move(object)).first;
  }
  return it->second.get();
}

UObject* LoadContent(std::string_view path) {
  auto& content = State().content;
  auto it = content.find(path);
  return it == content.end() ? nullptr : it->second.get();
}

std::uint64_t LoadRequests() { return State().load_requests; }

CuddleCall RequestCuddle(APrimalDinoCharacter* dino, double due, std::uint8_t kind, UObject* food) {
  State().cuddle = CuddleCall{};
  Sandbox::Entry<Cuddling>(cuddling_entry)(dino, due, kind, food);
  return State().cuddle;
}

QualityCall SetImprinting(APrimalDinoCharacter* dino, float quality) {
  State().quality = QualityCall{};
  Sandbox::Entry<Quality>(update_quality_entry)(dino, quality);
  return State().quality;
}

QualityCall AddImprinting(APrimalDinoCharacter* dino, float amount) {
  State().quality = QualityCall{};
  Sandbox::Entry<Quality>(added_quality_entry)(dino, amount);
  return State().quality;
}

CuddleCall RequestNextCuddle(APrimalDinoCharacter* dino) {
  ++dino->cuddles_requested;
  const std::uint8_t kind = RequestedKind(dino);
  return RequestCuddle(dino, World().TimeSeconds + GameCuddleInterval, kind,
                       kind == 1 ? AddContent(GameFood) : nullptr);
}

std::uint8_t RequestedKind(const APrimalDinoCharacter* dino) {
  return static_cast<std::uint8_t>((dino->cuddles_requested - 1) % 3);
}

QualityCall CompleteCuddle(APrimalDinoCharacter* dino) {
  if (!dino || !dino->MyCharacterStatusComponent) return AddImprinting(dino, GameCuddleGain);
  const float quality = dino->MyCharacterStatusComponent->DinoImprintingQuality;
  const float left = 1.0f - quality;
  return AddImprinting(dino, left < GameCuddleGain ? left : GameCuddleGain);
}

AShooterPlayerController* LocalPlayer() { return &State().player; }

void SetAdmin(bool admin) {
  std::uint32_t& flags = State().player.PlayerFlags;
  flags = admin ? flags | (1u << AdminBit) : flags & ~(1u << AdminBit);
}

std::vector<ChatLine> TakeChat() { return std::exchange(State().chat, {}); }

}  // namespace Game
