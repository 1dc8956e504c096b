// nestkeep-sandbox: a small dedicated server that hosts the Nestkeep module.
//
// The game's thread (this one) runs every console line and every RCON request, one at a time, so a
// command handler and a detour never run at once. Standard input is read on a thread of its own
// and RCON on the listener's I/O thread; both only hand work over.
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "sandbox/console/Console.h"
#include "sandbox/console/LineReader.h"
#include "sandbox/demo/Demo.h"
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

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i], value;
    bool has_value = false;
    if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      has_value = true;
    }
    auto take = [&]() -> std::string {
      if (has_value) return value;
      if (i + 1 >= argc) BadOption("missing value for " + arg);
      return argv[++i];
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
  std::error_code ec;
  const auto here = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
  const auto beside = here / "libNestkeep.so";
  const auto installed = here.parent_path() / "ArkApi/Plugins/Nestkeep/libNestkeep.so";
  return (std::filesystem::exists(beside) || !std::filesystem::exists(installed) ? beside
                                                                                 : installed)
      .string();
}

void ReadContent(const std::string& path) {
  std::ifstream file(path);
  if (!file || std::filesystem::is_directory(path)) BadOption("cannot read --content file " + path);
  for (std::string line; std::getline(file, line);) {
    auto start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    auto end = line.find_last_not_of(" \t\r");
    Game::AddContent(std::string_view(line).substr(start, end + 1 - start));
  }
}

// Each RCON connection holds a descriptor, and the module must still open its config while they
// are open; the soft limit is often far below what the system would give.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
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

// Reads standard input and hands each piece over as it comes, until the input ends or stop is set.
// It polls, so that it can be stopped and joined while no input comes.
void ReadInput(const std::function<void(std::string_view)>& bytes_read,
               const std::atomic<bool>& stop) {
  char buffer[65536];
  while (!stop) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&in, 1, 100);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      if (ready < 0) break;
      continue;
    }
    ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes_read(std::string_view(buffer, static_cast<std::size_t>(n)));
  }
}

void Print(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  RaiseDescriptorLimit();
  Options o = ParseOptions(argc, argv);

  std::string password;
  if (o.password)
    password = *o.password;
  else if (const char* env = std::getenv("NESTKEEP_RCON_PASSWORD"))
    password = env;
  if (o.rcon_port && password.empty())
    BadOption("RCON needs a password: --rcon-password or NESTKEEP_RCON_PASSWORD");

  Console::SetModulePath(o.module ? *o.module : DefaultModulePath());
  if (o.log) {
    try {
      Sandbox::AddLogFile(*o.log);
    } catch (const std::exception& e) {
      BadOption("cannot write --log file " + *o.log + ": " + e.what());
    }
  }
  if (o.content) ReadContent(*o.content);
  if (o.seed) std::srand(*o.seed);

  if (o.demo) return Demo::Run(o.dir);

  if (o.dir) Sandbox::SetCurrentDir(*o.dir);
  if (std::string why = Sandbox::LoadModule(Console::ModulePath()); !why.empty()) {
    std::fprintf(stderr, "nestkeep-sandbox: %s\n", why.c_str());
    return 1;
  }

  GameQueue queue;
  bool running = true;
  if (o.rcon_port) {
    try {
      std::uint16_t port = Rcon::StartServer(
          *o.rcon_port, password,
          [](std::int32_t id, const std::string& line) { return Console::RunRcon(id, line); },
          [&queue](std::function<void()> job) { queue.Post(std::move(job)); },
          Sandbox::LogHostWarning);
      std::printf("rcon listening on 127.0.0.1:%u\n", port);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "nestkeep-sandbox: RCON cannot listen on port %u: %s\n", *o.rcon_port,
                   e.what());
      Sandbox::UnloadModule();
      return 1;
    }
  }
  Print({"ready"});

  std::atomic<bool> stop_input{false};
  std::thread input([&] {
    auto post = [&](Console::InputLine line) {
      queue.Post([line = std::move(line), &running] {
        if (!running) return;
        std::vector<std::string> out;
        if (line.too_long)
          out.push_back(line.text);
        else if (!Console::RunLine(line.text, out))
          running = false;
        Print(out);
      });
    };
    Console::LineReader reader;
    ReadInput(
        [&](std::string_view bytes) {
          for (Console::InputLine& line : reader.Feed(bytes)) post(std::move(line));
        },
        stop_input);
    if (std::optional<Console::InputLine> last = reader.Finish(); last && !stop_input)
      post(std::move(*last));
    queue.Post([&running] { running = false; });
  });

  while (running && !Console::QuitRequested()) queue.Take()();

  stop_input = true;
  input.join();
  if (o.rcon_port) Rcon::StopServer();
  if (Sandbox::ModuleLoaded()) Sandbox::UnloadModule();
  return 0;
}
