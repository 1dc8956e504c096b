// Console commands, one table of them: it runs a line, gives the usage messages and makes `help`.
// Each command checks all of its arguments before it changes anything, so a wrong line prints
// `error: ...` and leaves the world as it was.
#include "sandbox/console/Console.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <type_traits>
#include <utility>

namespace Console {
namespace {

std::string module_path;
std::int32_t next_local_rcon_id = 1;
bool quit_requested = false;
// Set while a line runs as an RCON request, the console's own `rcon` included.
bool in_rcon = false;

// Every printed value reads back exactly: 9 significant digits for a float, 17 for a world time.
std::string FormatFloat(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

std::string FormatTime(double seconds) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", seconds);
  return text;
}
std::string FoodText(const UObject* food) { return food ? food->path : "none"; }

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Every printed result stays one line, whatever text it echoes: a line feed shows as \n and any
// other control byte as \xNN.
std::string OneLine(std::string line) {
  if (std::none_of(line.begin(), line.end(), [](unsigned char c) { return IsControl(c); }))
    return line;
  std::string shown;
  for (unsigned char c : line) {
    if (c == '\n')
      shown += "\\n";
    else if (IsControl(c))
      shown += fmt::format("\\x{:02X}", c);
    else
      shown += static_cast<char>(c);
  }
  return shown;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (true) {
    i = line.find_first_not_of(Sandbox::CommandBlanks, i);
    if (i == std::string_view::npos) break;
    std::size_t end = line.find_first_of(Sandbox::CommandBlanks, i);
    if (end == std::string_view::npos) end = line.size();
    words.push_back(line.substr(i, end - i));
    i = end;
  }
  return words;
}

// The rest of the line after its first word.
std::string_view Rest(std::string_view line) {
  std::size_t start = line.find_first_not_of(Sandbox::CommandBlanks);
  std::size_t end = line.find_first_of(Sandbox::CommandBlanks, start);
  if (end == std::string_view::npos) return {};
  std::size_t rest = line.find_first_not_of(Sandbox::CommandBlanks, end);
  if (rest == std::string_view::npos) return {};
  std::size_t last = line.find_last_not_of(Sandbox::CommandBlanks);
  return line.substr(rest, last + 1 - rest);
}

std::string Lower(std::string_view word) {
  std::string lower(word);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// A whole word as a number. Reals are read as C reads them (the sandbox stays in the "C" locale):
// a value that rounds to zero or to a subnormal is a number, one beyond the type's range is not.
template <class T>
std::optional<T> Parse(std::string_view word) {
  T value{};
  if constexpr (std::is_floating_point_v<T>) {
    const std::string text(word);
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    if constexpr (std::is_same_v<T, float>)
      value = std::strtof(text.c_str(), &end);
    else
      value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || (errno == ERANGE && std::isinf(value)))
      return std::nullopt;
  } else {
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
  }
  return value;
}

struct Failure {
  std::string message;
};

// A creature by id; 0 means "no creature".
APrimalDinoCharacter* Creature(std::string_view word) {
  auto id = Parse<std::int32_t>(word);
  if (!id || *id < 0) throw Failure{fmt::format("not a creature id: {}", word)};
  if (*id == 0) return nullptr;
  APrimalDinoCharacter* dino = Game::FindDino(*id);
  if (!dino) throw Failure{fmt::format("no creature {}", *id)};
  return dino;
}

float Float(std::string_view word, std::string_view what) {
  auto value = Parse<float>(word);
  if (!value) throw Failure{fmt::format("{} is not a number: {}", what, word)};
  return *value;
}

double Time(std::string_view word) {
  auto value = Parse<double>(word);
  if (!value || !std::isfinite(*value))
    throw Failure{fmt::format("not a time in seconds: {}", word)};
  return *value;
}

struct Command;

// A console line as its command sees it.
struct Line {
  std::string_view text;
  std::vector<std::string_view> words;  // the command word first
  const Command* command;
};

using Output = std::vector<std::string>;

struct Command {
  std::string_view word;
  // What follows the word; alternatives are separated by " | ".
  std::string_view arguments;
  std::string_view help;
  // How many words may follow the command word.
  std::size_t least, most;
  // None for quit, which ends the session.
  void (*run)(const Line& line, Output& out);
};

constexpr std::size_t Any = SIZE_MAX;

// The command as its usage shows it, the word before each alternative of its arguments:
// "imprint ID set Q | imprint ID add A".
std::string Synopsis(const Command& command) {
  std::string synopsis(command.word);
  std::string_view arguments = command.arguments;
  while (!arguments.empty()) {
    const std::size_t bar = arguments.find(" | ");
    synopsis += fmt::format(" {}", arguments.substr(0, bar));
    if (bar == std::string_view::npos) break;
    synopsis += fmt::format(" | {}", command.word);
    arguments.remove_prefix(bar + 3);
  }
  return synopsis;
}

Failure UsageError(const Line& line) { return Failure{"usage: " + Synopsis(*line.command)}; }

std::string QualityText(const APrimalDinoCharacter* dino) {
  if (!dino || !dino->MyCharacterStatusComponent) return "none";
  return FormatFloat(dino->MyCharacterStatusComponent->DinoImprintingQuality);
}

void Spawn(const Line& line, Output& out) {
  const std::vector<std::string_view>& w = line.words;
  // A name tag outlives this line: every later `show` prints it.
  for (unsigned char c : w[1])
    if (IsControl(c))
      throw Failure{
          fmt::format("a species name may not hold control characters (byte 0x{:02X})", c)};
  float quality = 0, maturation = 86400;
  bool status = true;
  for (std::size_t i = 2; i < w.size(); ++i) {
    std::string option = Lower(w[i]);
    if (option.rfind("quality=", 0) == 0)
      quality = Float(w[i].substr(8), "quality");
    else if (option.rfind("maturation=", 0) == 0)
      maturation = Float(w[i].substr(11), "maturation");
    else if (option == "nostatus")
      status = false;
    else
      throw Failure{fmt::format("unknown spawn option: {}", w[i])};
  }
  out.push_back(fmt::format("spawned {}", Game::Spawn(w[1], quality, maturation, status)->id));
}

void Cuddle(const Line& line, Output& out) {
  const std::vector<std::string_view>& w = line.words;
  APrimalDinoCharacter* dino = Creature(w[1]);
  auto kind = Parse<unsigned>(w[2]);
  if (!kind || *kind > 255) throw Failure{fmt::format("not a cuddle kind (0 to 255): {}", w[2])};
  UObject* food = nullptr;
  if (w.size() == 4 && w[3] != "none") {
    food = Game::LoadContent(w[3]);
    if (!food) throw Failure{fmt::format("no loadable object {}", w[3])};
  }
  const double due = Game::World().TimeSeconds + Game::GameCuddleInterval;
  Game::CuddleCall call = Game::RequestCuddle(dino, due, static_cast<std::uint8_t>(*kind), food);
  out.push_back(fmt::format("cuddle {} due={} kind={} food={}", w[1], FormatTime(call.due),
                            call.kind, FoodText(call.food)));
}

void Imprint(const Line& line, Output& out) {
  const std::vector<std::string_view>& w = line.words;
  APrimalDinoCharacter* dino = Creature(w[1]);
  std::string how = Lower(w[2]);
  if (how != "set" && how != "add") throw UsageError(line);
  float value = Float(w[3], how == "set" ? "quality" : "amount");
  Game::QualityCall call =
      how == "set" ? Game::SetImprinting(dino, value) : Game::AddImprinting(dino, value);
  out.push_back(fmt::format("imprint {} {}={} quality={}", w[1], how == "set" ? "set" : "added",
                            FormatFloat(call.value), QualityText(dino)));
}

void Show(const Line& line, Output& out) {
  APrimalDinoCharacter* dino = Creature(line.words[1]);
  if (!dino) throw Failure{"no creature 0"};
  out.push_back(fmt::format(
      "dino {} {} quality={} maturation={} due={} kind={} food={}", dino->id, Game::Species(dino),
      QualityText(dino), FormatFloat(dino->BabyImprintingQualityTotalMaturationTime),
      FormatTime(dino->BabyNextCuddleTime), dino->BabyCuddleType, FoodText(dino->BabyCuddleFood)));
}

void ShowOrSetTime(const Line& line, Output& out) {
  if (line.words.size() == 2) Game::World().TimeSeconds = Time(line.words[1]);
  out.push_back(fmt::format("time {}", FormatTime(Game::World().TimeSeconds)));
}

void Advance(const Line& line, Output& out) {
  const double later = Game::World().TimeSeconds + Time(line.words[1]);
  if (!std::isfinite(later))
    throw Failure{fmt::format("advancing the world time {} by {} leaves no finite time",
                              FormatTime(Game::World().TimeSeconds), line.words[1])};
  Game::World().TimeSeconds = later;
  out.push_back(fmt::format("time {}", FormatTime(Game::World().TimeSeconds)));
}

void Content(const Line& line, Output& out) {
  Game::AddContent(line.words[1]);
  out.push_back(fmt::format("content {}", line.words[1]));
}

void Admin(const Line& line, Output& out) {
  std::string how = Lower(line.words[1]);
  if (how != "on" && how != "off") throw UsageError(line);
  Game::SetAdmin(how == "on");
  out.push_back("admin " + how);
}

void Rcon(const Line& line, Output& out) {
  // A request may not open a request of its own: `rcon rcon ...` would nest once per word. A bare
  // `rcon` inside one is told so too, which is why this handler, not its row, wants a command.
  if (in_rcon) throw Failure{"rcon cannot run inside rcon"};
  std::string_view command = Rest(line.text);
  if (command.empty()) throw UsageError(line);
  // A line feed in a reply shows as \n, as in every printed line.
  for (const RconReply& reply : RunRcon(next_local_rcon_id++, command))
    out.push_back(fmt::format("rcon id={} type={}: {}", reply.id, reply.type, reply.text));
}

void Unload(const Line&, Output& out) {
  if (std::string why = Sandbox::UnloadModule(); !why.empty()) throw Failure{why};
  out.push_back("unloaded");
}

void Load(const Line&, Output& out) {
  if (std::string why = Sandbox::LoadModule(module_path); !why.empty()) throw Failure{why};
  out.push_back("loaded");
}

void Memory(const Line&, Output& out) {
  out.push_back(fmt::format("memory blocks={}", Sandbox::LiveBlocks()));
}

void Help(const Line&, Output& out);

constexpr Command Commands[] = {
    {"spawn", "SPECIES [quality=Q] [maturation=S] [nostatus]", "makes a baby creature", 1, 4,
     &Spawn},
    {"cuddle", "ID KIND [FOOD]", "the game sets a cuddle request on creature ID (0: none)", 2, 3,
     &Cuddle},
    {"imprint", "ID set Q | ID add A", "the game sets, or adds to, a creature's imprinting quality",
     3, 3, &Imprint},
    {"show", "ID", "shows a creature", 1, 1, &Show},
    {"time", "[T]", "shows, or sets, the world time in seconds", 0, 1, &ShowOrSetTime},
    {"advance", "S", "moves the world time on by S seconds", 1, 1, &Advance},
    {"content", "PATH", "makes PATH a loadable object", 1, 1, &Content},
    {"admin", "on|off", "sets the local player's administrator flag", 1, 1, &Admin},
    {"rcon", "COMMAND [ARGS]", "handles COMMAND as a request that arrived over RCON", 0, Any,
     &Rcon},
    {"unload", "", "unloads the module", 0, 0, &Unload},
    {"load", "", "loads the module", 0, 0, &Load},
    {"memory", "", "counts the engine-allocator blocks still allocated", 0, 0, &Memory},
    {"help", "", "lists the console's commands", 0, 0, &Help},
    {"quit", "", "ends the sandbox", 0, Any, nullptr},
};

// The module's commands have no row: whatever it registered runs when no row has the word.
void Help(const Line&, Output& out) {
  std::vector<std::pair<std::string, std::string_view>> lines;
  for (const Command& command : Commands) lines.emplace_back(Synopsis(command), command.help);
  lines.emplace_back("COMMAND [ARGS]", "a command the module registered, such as Nestkeep.reload");
  std::size_t width = 0;
  for (const auto& [synopsis, help] : lines) width = std::max(width, synopsis.size());
  for (const auto& [synopsis, help] : lines)
    out.push_back(fmt::format("{:<{}}  {}", synopsis, width, help));
}

void PrintChat(std::vector<std::string>& out) {
  for (const Game::ChatLine& chat : Game::TakeChat()) {
    out.push_back(fmt::format("chat {} {} {} {} bold={}: {}", FormatFloat(chat.color.R),
                              FormatFloat(chat.color.G), FormatFloat(chat.color.B),
                              FormatFloat(chat.color.A), chat.bold ? 1 : 0, chat.text));
  }
}

bool Run(std::string_view text, Output& out) {
  Line line{text, Words(text), nullptr};
  if (line.words.empty()) return true;
  const std::string word = Lower(line.words[0]);
  for (const Command& command : Commands)
    if (command.word == word) line.command = &command;
  if (!line.command) {
    if (Sandbox::RunConsoleCommand(Game::LocalPlayer(), text))
      PrintChat(out);
    else
      out.push_back(fmt::format("unknown command: {}", line.words[0]));
    return true;
  }
  const std::size_t arguments = line.words.size() - 1;
  if (arguments < line.command->least || arguments > line.command->most) throw UsageError(line);
  if (!line.command->run) return false;
  line.command->run(line, out);
  return true;
}

}  // namespace

void SetModulePath(std::string path) { module_path = std::move(path); }
const std::string& ModulePath() { return module_path; }
bool QuitRequested() { return quit_requested; }

bool RunLine(std::string_view line, std::vector<std::string>& out) {
  const std::size_t first = out.size();
  bool go_on = true;
  try {
    go_on = Run(line, out);
  } catch (const Failure& failure) {
    out.push_back("error: " + failure.message);
  }
  for (std::size_t i = first; i < out.size(); ++i) out[i] = OneLine(std::move(out[i]));
  return go_on;
}

std::vector<RconReply> RunRcon(std::int32_t id, std::string_view line) {
  RCONClientConnection connection;
  if (Sandbox::RunRconCommand(&connection, id, line)) return std::move(connection.sent);
  std::vector<std::string> lines;
  in_rcon = true;
  if (!RunLine(line, lines)) quit_requested = true;
  in_rcon = false;
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\n" : "") + lines[i];
  return {RconReply{id, 0, std::move(text)}};
}

}  // namespace Console
