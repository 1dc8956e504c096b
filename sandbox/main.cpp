// nestkeep-sandbox: a small dedicated server that hosts the Nestkeep module.
//
// The game's thread (this one) runs every console line and every RCON request, one at a time, so a
// command handler and a detour never run at once. Standard input is read on a thread of its own
// and RCON on the listener's I/O thread; both only hand work over.
#include <fmt/format.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "plugin/engine/Unicode.h"
#include "sandbox/console/Console.h"
#include "sandbox/console/LineReader.h"
#include "sandbox/demo/Demo.h"
#include "sandbox/platform/CxxRuntime.h"
#include "sandbox/platform/Process.h"
#include "sandbox/platform/Program.h"
#include "sandbox/platform/Streams.h"
#include "sandbox/rcon/Server.h"

namespace {

constexpr const char* Usage =
    "usage: nestkeep-sandbox [options]\n"
    "  --dir DIR            the server's working directory (default: the current directory)\n"
    "  --module PATH        the module to load (default: the one built beside the sandbox)\n"
    "  --content FILE       loadable object paths, one a line\n"
    "  --log FILE           also append the host's log lines to FILE\n"
    "  --rcon-port PORT     listen for RCON on 127.0.0.1:PORT (0 picks a free port)\n"
    "  --rcon-password PW   the RCON password (or NESTKEEP_RCON_PASSWORD)\n"
    "  --seed N             seed the random generator before the module loads\n"
    "  --demo               run the nursery demonstration\n"
    "  --help, --version    what they say\n";

struct Options {
  std::optional<std::string> dir, module, content, log, password;
  std::optional<std::uint16_t> rcon_port;
  std::optional<unsigned> seed;
  bool demo = false;
};

[[noreturn]] void BadOption(const std::string& message) {
  std::fprintf(stderr, "nestkeep-sandbox: %s (see --help)\n", message.c_str());
  std::exit(2);
}

template <class T>
T Number(const std::string& option, const std::string& text, unsigned long long most) {
  char* end = nullptr;
  errno = 0;
  unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || *end || errno || value > most || text[0] == '-')
    BadOption("bad value for " + option + ": " + text);
  return static_cast<T>(value);
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options o;
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string arg = args[i], value;
    bool has_value = false;
    if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      has_value = true;
    }
    auto take = [&]() -> std::string {
      if (has_value) return value;
      if (i + 1 >= args.size()) BadOption("missing value for " + arg);
      return args[++i];
    };
    if (arg == "--help") {
      std::fputs(Usage, stdout);
      std::exit(0);
    } else if (arg == "--version") {
      std::printf("nestkeep-sandbox %s\n", NESTKEEP_VERSION);
      std::exit(0);
    } else if (arg == "--dir") {
      o.dir = take();
    } else if (arg == "--module") {
      o.module = take();
    } else if (arg == "--content") {
      o.content = take();
    } else if (arg == "--log") {
      o.log = take();
    } else if (arg == "--rcon-port") {
      o.rcon_port = Number<std::uint16_t>(arg, take(), 65535);
    } else if (arg == "--rcon-password") {
      o.password = take();
    } else if (arg == "--seed") {
      o.seed = Number<unsigned>(arg, take(), 0xFFFFFFFFu);
    } else if (arg == "--demo" && !has_value) {
      o.demo = true;
    } else {
      BadOption("unknown option " + arg);
    }
  }
  return o;
}

// The module built beside the sandbox, or, once installed, the one in the plugin folder under the
// installation's root.
std::string DefaultModulePath() {
  const auto here = Platform::ProgramFolder();
  const auto beside = here / NESTKEEP_MODULE_FILE;
  const auto installed = here.parent_path() / "ArkApi/Plugins/Nestkeep" / NESTKEEP_MODULE_FILE;
  auto path =
      std::filesystem::exists(beside) || !std::filesystem::exists(installed) ? beside : installed;
  return Unicode::PathUtf8(path.make_preferred());
}

void ReadContent(const std::string& path) {
  std::ifstream file(Unicode::Utf8Path(path));
  if (!file || std::filesystem::is_directory(Unicode::Utf8Path(path)))
    BadOption("cannot read --content file " + Platform::ShownPath(path));
  for (std::string line; std::getline(file, line);) {
    auto start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    auto end = line.find_last_not_of(" \t\r");
    Game::AddContent(std::string_view(line).substr(start, end + 1 - start));
  }
}

// Work for the game's thread, run in the order it was handed over.
class GameQueue {
 public:
  void Post(std::function<void()> job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
  }

  std::function<void()> Take() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return !jobs_.empty(); });
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    return job;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
};

// What the game's thread knows of the server's state. Only the game's thread touches it.
struct Server {
  bool running = true;
  bool rcon = false;
  const char* signal = nullptr;  // what ended it, when a signal did
};

void Print(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
}

// Reads standard input on a thread of its own and hands each line to the game's thread, then its
// end. The thread is never waited for: a read of standard input cannot be cancelled everywhere, so
// the sandbox ends without it, and the queue it posts to outlives the sandbox's own use of it.
void StartReadingInput(const std::shared_ptr<GameQueue>& queue, Server& server) {
  Platform::ConsoleTakesCommands();
  std::thread([queue, &server] {
    auto post = [&](Console::InputLine line) {
      queue->Post([line = std::move(line), &server] {
        if (!server.running) return;
        std::vector<std::string> out;
        if (line.too_long)
          out.push_back(line.text);
        else if (!Console::RunLine(line.text, out))
          server.running = false;
        Print(out);
      });
    };
    Console::LineReader reader;
    char buffer[65536];
    while (const std::size_t n = Platform::ReadStandardInput(buffer, sizeof buffer))
      for (Console::InputLine& line : reader.Feed(std::string_view(buffer, n)))
        post(std::move(line));
    if (std::optional<Console::InputLine> last = reader.Finish()) post(std::move(*last));
    // Without RCON the console is all there is; with it, the server serves on until told to stop.
    queue->Post([&server] {
      if (!server.rcon) server.running = false;
    });
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Platform::StartProgram("nestkeep-sandbox", argc, argv);
  Platform::RaiseDescriptorLimit();
  Options o = ParseOptions(args);

  std::string password;
  if (o.password)
    password = *o.password;
  else if (const char* env = std::getenv("NESTKEEP_RCON_PASSWORD"))
    password = env;
  if (o.rcon_port && password.empty())
    BadOption("RCON needs a password: --rcon-password or NESTKEEP_RCON_PASSWORD");
  if (o.password && !o.rcon_port) BadOption("--rcon-password without --rcon-port");
  if (std::error_code error;
      o.dir && !std::filesystem::is_directory(Unicode::Utf8Path(*o.dir), error))
    BadOption("--dir is not a directory: " + Platform::ShownPath(*o.dir));

  Console::SetModulePath(o.module ? *o.module : DefaultModulePath());
  if (o.log) {
    try {
      Sandbox::AddLogFile(*o.log);
    } catch (const std::exception& e) {
      BadOption("cannot write --log file " + Platform::ShownPath(*o.log) + ": " + e.what());
    }
  }
  if (o.content) ReadContent(*o.content);
  if (o.seed) std::srand(*o.seed);

  if (o.demo) return Demo::Run(o.dir);

  const auto queue = std::make_shared<GameQueue>();
  Server server;
  Platform::OnShutdownRequest([queue, &server](const char* signal) {
    queue->Post([&server, signal] {
      server.signal = signal;
      server.running = false;
    });
  });

  if (o.dir) Sandbox::SetCurrentDir(*o.dir);
  if (std::string why = Sandbox::LoadModule(Console::ModulePath()); !why.empty()) {
    std::fprintf(stderr, "nestkeep-sandbox: %s\n", why.c_str());
    return 1;
  }

  if (o.rcon_port) {
    try {
      std::uint16_t port = Rcon::StartServer(
          *o.rcon_port, password,
          [](std::int32_t id, const std::string& line) { return Console::RunRcon(id, line); },
          [queue](std::function<void()> job) { queue->Post(std::move(job)); },
          [](const std::string& line) { Sandbox::LogHostLine(spdlog::level::warn, line); });
      std::printf("rcon listening on 127.0.0.1:%u\n", port);
      server.rcon = true;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "nestkeep-sandbox: RCON cannot listen on port %u: %s\n", *o.rcon_port,
                   e.what());
      Sandbox::UnloadModule();
      return 1;
    }
  }
  Print({"ready"});

  StartReadingInput(queue, server);
  while (server.running && !Console::QuitRequested()) queue->Take()();

  // Connections first, so that no request comes in while the module goes.
  if (server.rcon) Rcon::StopServer();
  if (Sandbox::ModuleLoaded()) Sandbox::UnloadModule();
  if (server.signal)
    Sandbox::LogHostLine(spdlog::level::info, fmt::format("stopped by {}: RCON connections closed, "
                                                          "the module unloaded",
                                                          server.signal));
  std::fflush(stdout);
  return 0;
}
