// nestkeep-sandbox: a small dedicated server that hosts the Nestkeep module.
//
// The game's thread (this one) runs every console line and every RCON request, one at a time, so a
// command handler and a detour never run at once. Standard input is read on a thread of its own
// and RCON on the listener's I/O thread; both only hand work over.
#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "plugin/config/RegularFile.h"
#include "plugin/engine/Unicode.h"
#include "sandbox/console/Console.h"
#include "sandbox/console/LineReader.h"
#include "sandbox/demo/Demo.h"
#include "sandbox/platform/CxxRuntime.h"
#include "sandbox/platform/Process.h"
#include "sandbox/platform/Program.h"
#include "sandbox/platform/Streams.h"
#include "sandbox/rcon/Packet.h"
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

// Read whole before the start goes on; a pipe or a device at its place would hold up the start or
// never end, so only a regular file of a bounded size is read.
void ReadContent(const std::string& path) {
  constexpr std::uint64_t MaxContentBytes = std::uint64_t{64} << 20;
  std::string bytes;
  std::uint64_t size = 0;
  switch (ReadRegularFile(path, MaxContentBytes, bytes, size)) {
    case FileRead::NotAFile:
      BadOption("--content is not a regular file that can be read: " + Unicode::ShownPath(path));
    case FileRead::TooLarge:
      BadOption(fmt::format("--content is larger than 64 MiB ({} bytes): {}", size,
                            Unicode::ShownPath(path)));
    case FileRead::Read:
      break;
  }
  for (std::string_view rest = bytes; !rest.empty();) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;
    Game::AddContent(line.substr(first, line.find_last_not_of(" \t\r") + 1 - first));
  }
}

// A regular file, made if missing: anything else at its place (a pipe, a device, a folder) would
// hold up the start or take the log where no one reads it.
void AddLogFile(const std::string& path) {
  std::error_code error;
  if (const auto status = std::filesystem::status(Unicode::Utf8Path(path), error);
      std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
    BadOption("--log is not a regular file: " + Unicode::ShownPath(path));
  try {
    Sandbox::AddLogFile(path);
  } catch (const std::exception& e) {
    BadOption("cannot write --log file " + Unicode::ShownPath(path) + ": " + e.what());
  }
}

// The password from the options or the environment; it must fit in one packet's body, or no
// client could send it.
std::string RconPassword(const Options& o) {
  const char* env = std::getenv("NESTKEEP_RCON_PASSWORD");
  std::string password = o.password ? *o.password : env ? env : "";
  if (password.size() > Rcon::MaxBody)
    BadOption(fmt::format("{} is longer than one RCON packet can carry ({} bytes)",
                          o.password ? "--rcon-password" : "NESTKEEP_RCON_PASSWORD",
                          Rcon::MaxBody));
  return password;
}

// Work for the game's thread, run in the order it was handed over, until the server stops: from
// then on nothing queued runs, so that a signal waits for the job at hand and for nothing else.
class GameQueue {
 public:
  // False once stopped: the job will never run.
  bool Post(std::function<void()> job) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return false;
      jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
    return true;
  }

  // The next job, or none once stopped.
  std::function<void()> Take() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return stopped_ || !jobs_.empty(); });
    if (stopped_) return {};
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    return job;
  }

  // Callable from any thread. The jobs still queued are never run; they are not destroyed either,
  // since they may hold what a thread that is never waited for still waits on.
  void Stop(const char* signal = nullptr) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) return;
      stopped_ = true;
      signal_ = signal;
    }
    ready_.notify_all();
  }

  // The signal that stopped it, if one did.
  const char* StoppedBy() {
    std::lock_guard lock(mutex_);
    return signal_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  bool stopped_ = false;
  const char* signal_ = nullptr;
};

// What the game's thread knows of the server's state. Only the game's thread touches it.
struct Server {
  bool running = true;
  bool rcon = false;
};

void Print(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
}

// Reads standard input on a thread of its own and hands each line to the game's thread, then its
// end. It reads on only once the lines it handed over have run, so input is read no faster than it
// runs and what waits of it stays within one read, whatever its rate. The thread is never waited
// for: a read of standard input cannot be cancelled everywhere, so the sandbox ends without it,
// and the queue it posts to outlives the sandbox's own use of it.
void StartReadingInput(const std::shared_ptr<GameQueue>& queue, Server& server) {
  Platform::ConsoleTakesCommands();
  std::thread([queue, &server] {
    auto run = [&](std::vector<Console::InputLine> lines) {
      for (Console::InputLine& line : lines) {
        const bool posted = queue->Post([line = std::move(line), &server] {
          if (!server.running) return;
          std::vector<std::string> out;
          if (line.too_long)
            out.push_back(line.text);
          else if (!Console::RunLine(line.text, out))
            server.running = false;
          Print(out);
        });
        if (!posted) return false;
      }
      auto ran = std::make_shared<std::promise<void>>();
      std::future<void> done = ran->get_future();
      if (!queue->Post([ran] { ran->set_value(); })) return false;
      done.wait();
      return true;
    };
    Console::LineReader reader;
    std::vector<char> buffer(std::size_t{1} << 16);
    while (const std::size_t n = Platform::ReadStandardInput(buffer.data(), buffer.size()))
      if (!run(reader.Feed(std::string_view(buffer.data(), n)))) return;
    if (std::optional<Console::InputLine> last = reader.Finish()) {
      std::vector<Console::InputLine> lines;
      lines.push_back(std::move(*last));
      if (!run(std::move(lines))) return;
    }
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

  if (o.password && !o.rcon_port) BadOption("--rcon-password without --rcon-port");
  const std::string password = o.rcon_port ? RconPassword(o) : "";
  if (o.rcon_port && password.empty())
    BadOption("RCON needs a password: --rcon-password or NESTKEEP_RCON_PASSWORD");
  if (std::error_code error;
      o.dir && !std::filesystem::is_directory(Unicode::Utf8Path(*o.dir), error))
    BadOption("--dir is not a directory: " + Unicode::ShownPath(*o.dir));

  Console::SetModulePath(o.module ? *o.module : DefaultModulePath());
  if (o.log) AddLogFile(*o.log);
  if (o.content) ReadContent(*o.content);
  if (o.seed) std::srand(*o.seed);

  if (o.demo) return Demo::Run(o.dir);

  const auto queue = std::make_shared<GameQueue>();
  Server server;
  Platform::OnShutdownRequest([queue](const char* signal) { queue->Stop(signal); });

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
  while (server.running && !Console::QuitRequested()) {
    const std::function<void()> job = queue->Take();
    if (!job) break;
    job();
  }
  queue->Stop();

  // Connections first, so that no request comes in while the module goes.
  if (server.rcon) Rcon::StopServer();
  if (Sandbox::ModuleLoaded()) Sandbox::UnloadModule();
  if (const char* signal = queue->StoppedBy())
    Sandbox::LogHostLine(spdlog::level::info, fmt::format("stopped by {}: RCON connections closed, "
                                                          "the module unloaded",
                                                          signal));
  std::fflush(stdout);
  return 0;
}
