// RCON under load: the real nestkeep-sandbox, 32 clients with 200 requests each, reloads and
// console commands mixed and pipelined, while its own console spawns and cuddles. Every reply must
// come back with its request's id, in request order and in the shape the command gives; the
// sandbox must exit cleanly with no ThreadSanitizer report. Prints the round-trip times.
//
// Usage: rcon_load SANDBOX [SOURCE_DIR]   (SOURCE_DIR also from NESTKEEP_SOURCE_DIR)
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int ClientCount = 32;
constexpr int RequestsPerClient = 200;
constexpr std::size_t MaxInFlight = 4;
constexpr auto OverallLimit = std::chrono::seconds(120);
// Generous, for a sandbox built with ThreadSanitizer on a busy machine.
constexpr int ReplyTimeoutSeconds = 20;
constexpr auto StartLimit = std::chrono::seconds(30);
constexpr auto ConsolePace = std::chrono::milliseconds(1);
constexpr const char* Password = "load-keeper";

constexpr std::int32_t AuthRequest = 3;
constexpr std::int32_t ExecRequest = 2;
constexpr std::int32_t AuthAnswer = 2;
constexpr std::int32_t ResponseValue = 0;

Clock::time_point deadline;

bool PastDeadline() { return Clock::now() >= deadline; }

// Findings from every thread; only the first few are printed, all are counted.
class Failures {
 public:
  void Add(std::string message, int count = 1) {
    std::lock_guard lock(mutex_);
    count_ += count;
    if (messages_.size() < 20) messages_.push_back(std::move(message));
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }
  void Print() {
    std::lock_guard lock(mutex_);
    for (const std::string& m : messages_) std::fprintf(stderr, "rcon load: %s\n", m.c_str());
    if (count_ > static_cast<int>(messages_.size()))
      std::fprintf(stderr, "rcon load: ... and %d more\n",
                   count_ - static_cast<int>(messages_.size()));
  }

 private:
  std::mutex mutex_;
  int count_ = 0;
  std::vector<std::string> messages_;
};

Failures failures;

// Creature ids handed out by "spawned N", from the console and from every client: each must be new.
class SpawnedIds {
 public:
  void Add(long id, const std::string& who) {
    std::lock_guard lock(mutex_);
    if (!ids_.insert(id).second)
      failures.Add(who + ": creature id " + std::to_string(id) + " given twice");
  }

 private:
  std::mutex mutex_;
  std::set<long> ids_;
};

SpawnedIds spawned_ids;

[[noreturn]] void Die(const std::string& message) {
  std::fprintf(stderr, "rcon load: %s\n", message.c_str());
  std::exit(1);
}

// ---- Packets, framed here rather than with the sandbox's own code, so that a fault in its
// decoder or encoder cannot hide itself --------------------------------------------------------

struct Packet {
  std::int32_t id = 0;
  std::int32_t type = 0;
  std::string body;
};

void Put32(std::string& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

std::int32_t Get32(const std::string& in, std::size_t at) {
  std::uint32_t bits = 0;
  for (int k = 3; k >= 0; --k)
    bits = bits << 8 | static_cast<unsigned char>(in[at + static_cast<std::size_t>(k)]);
  return static_cast<std::int32_t>(bits);
}

void AppendPacket(std::string& out, std::int32_t id, std::int32_t type, const std::string& body) {
  Put32(out, static_cast<std::int32_t>(body.size() + 10));
  Put32(out, id);
  Put32(out, type);
  out += body;
  out.append(2, '\0');
}

class Connection {
 public:
  explicit Connection(std::uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (fd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const timeval wait{ReplyTimeoutSeconds, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      const std::string why = std::strerror(errno);
      close(fd_);
      throw std::runtime_error("connect: " + why);
    }
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { close(fd_); }

  bool Send(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t n = send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      at += static_cast<std::size_t>(n);
    }
    return true;
  }

  // The next whole packet, or nothing when the connection ends, times out or frames wrongly.
  std::optional<Packet> Receive(std::string& why) {
    for (;;) {
      if (input_.size() >= 4) {
        const std::int32_t size = Get32(input_, 0);
        if (size < 10 || size > 4096) {
          why = "a reply with size " + std::to_string(size);
          return std::nullopt;
        }
        const auto total = static_cast<std::size_t>(size) + 4;
        if (input_.size() >= total) {
          if (input_[total - 1] != '\0' || input_[total - 2] != '\0') {
            why = "a reply not ending in two zero bytes";
            return std::nullopt;
          }
          Packet p{Get32(input_, 4), Get32(input_, 8), input_.substr(12, total - 14)};
          input_.erase(0, total);
          return p;
        }
      }
      char chunk[8192];
      const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) {
        why = "the connection closed";
        return std::nullopt;
      }
      if (n < 0) {
        why = errno == EAGAIN || errno == EWOULDBLOCK
                  ? "no reply within " + std::to_string(ReplyTimeoutSeconds) + " s"
                  : std::string("recv: ") + std::strerror(errno);
        return std::nullopt;
      }
      input_.append(chunk, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
  std::string input_;
};

// ---- What each request expects back -----------------------------------------------------------

enum class Kind { Reload, Memory, Time, ShowFirst, ShowOwn, Spawn, Cuddle, Imprint, EndMarker };
constexpr int KindCount = 9;

struct Request {
  std::int32_t id = 0;
  Kind kind = Kind::Reload;
  std::string line;
  const std::regex* shape = nullptr;  // what the single reply's body must match
  long creature = 0;                  // for showing a creature of one's own: the id it must show
  Clock::time_point sent;
};

const std::string Number = R"([-+0-9.eEinfa]+)";

std::regex DinoShape(const std::string& species) {
  return std::regex("dino ([0-9]+) " + species + " quality=" + Number + " maturation=" + Number +
                    " due=" + Number + " kind=[0-9]+ food=\\S+");
}

// The first creature, spawned by the console before any client starts.
constexpr const char* FirstSpecies = "Mossback";

// Each client has its own species, so that showing its own creatures proves whose they are.
std::string ClientSpecies(int index) { return "Loadling" + std::to_string(index); }

// Compiled once, before any client starts: compiling a pattern fills a cache in the standard
// library's locale that is not safe to fill from several threads at once.
struct Shapes {
  std::regex reload{"Successfully reloaded!\n"};
  std::regex memory{"memory blocks=[0-9]+"};
  std::regex time{"time " + Number};
  std::regex first_dino{DinoShape(FirstSpecies)};
  std::regex spawn{"spawned ([0-9]+)"};
  std::regex cuddle{"cuddle 1 due=" + Number + " kind=[0-9]+ food=\\S+"};
  std::regex imprint{"imprint 1 added=" + Number + " quality=" + Number};
  std::regex empty{""};
  std::vector<std::regex> own_dino;  // by client

  Shapes() {
    for (int i = 0; i < ClientCount; ++i) own_dino.push_back(DinoShape(ClientSpecies(i)));
  }
};

Request MakeRequest(const Shapes& shapes, int client, Kind kind, std::int32_t id,
                    long own_creature) {
  Request r;
  r.id = id;
  r.kind = kind;
  switch (kind) {
    case Kind::Reload:
      r.line = "Nestkeep.reload";
      r.shape = &shapes.reload;
      break;
    case Kind::Memory:
      r.line = "memory";
      r.shape = &shapes.memory;
      break;
    case Kind::Time:
      r.line = "time";
      r.shape = &shapes.time;
      break;
    case Kind::ShowOwn:
      if (own_creature > 0) {
        r.line = "show " + std::to_string(own_creature);
        r.shape = &shapes.own_dino[static_cast<std::size_t>(client)];
        r.creature = own_creature;
        break;
      }
      r.kind = Kind::ShowFirst;
      [[fallthrough]];
    case Kind::ShowFirst:
      r.line = "show 1";
      r.shape = &shapes.first_dino;
      r.creature = 1;
      break;
    case Kind::Spawn:
      r.line = "spawn " + ClientSpecies(client);
      r.shape = &shapes.spawn;
      break;
    case Kind::Cuddle:
      r.line = "cuddle 1 1";
      r.shape = &shapes.cuddle;
      break;
    case Kind::Imprint:
      r.line = "imprint 1 add 0.001";
      r.shape = &shapes.imprint;
      break;
    case Kind::EndMarker:
      r.shape = &shapes.empty;
      break;
  }
  return r;
}

// ---- One client -------------------------------------------------------------------------------

struct ClientResult {
  std::vector<std::int64_t> micros;  // round trip of each request answered as expected
  int answered = 0;
};

// A reply's text on one line.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out + "\"";
}

std::string Describe(const Request& r) {
  return "request id " + std::to_string(r.id) + " (" +
         (r.kind == Kind::EndMarker ? "end marker" : r.line) + ")";
}

void RunClient(const Shapes& shapes, int index, std::uint16_t port, ClientResult& result) {
  const std::string who = "client " + std::to_string(index);
  const std::int32_t base = (index + 1) * 100000;
  try {
    Connection connection(port);
    std::string auth;
    AppendPacket(auth, base, AuthRequest, Password);
    std::string why;
    if (!connection.Send(auth)) return failures.Add(who + ": could not send the authentication");
    const std::optional<Packet> answer = connection.Receive(why);
    if (!answer) return failures.Add(who + ": no authentication answer: " + why);
    if (answer->id != base || answer->type != AuthAnswer)
      return failures.Add(who + ": authentication answered with id " + std::to_string(answer->id) +
                          " type " + std::to_string(answer->type));

    std::minstd_rand random(static_cast<unsigned>(index) * 7919u + 1u);
    std::deque<Request> in_flight;
    long own_creature = 0;
    int sent = 0;
    while (sent < RequestsPerClient || !in_flight.empty()) {
      if (PastDeadline()) return failures.Add(who + ": out of time");
      // Several requests in one write now and then, so that the server also meets many packets
      // in one piece.
      if (in_flight.size() < MaxInFlight && sent < RequestsPerClient) {
        const auto room = static_cast<int>(MaxInFlight - in_flight.size());
        const int batch = std::min<int>(
            1 + static_cast<int>(random() % static_cast<unsigned>(room)), RequestsPerClient - sent);
        std::string bytes;
        for (int k = 0; k < batch; ++k) {
          const auto kind = static_cast<Kind>(random() % KindCount);
          Request r = MakeRequest(shapes, index, kind, base + 1 + sent++, own_creature);
          AppendPacket(bytes, r.id, r.kind == Kind::EndMarker ? ResponseValue : ExecRequest,
                       r.line);
          in_flight.push_back(std::move(r));
        }
        const Clock::time_point now = Clock::now();
        for (auto it = in_flight.end() - batch; it != in_flight.end(); ++it) it->sent = now;
        if (!connection.Send(bytes)) {
          failures.Add(who + ": could not send " + Describe(in_flight.back()));
          break;
        }
      }

      const std::optional<Packet> reply = connection.Receive(why);
      const Clock::time_point received = Clock::now();
      if (!reply) {
        for (const Request& r : in_flight)
          failures.Add(who + ": no reply to " + Describe(r) + ": " + why);
        in_flight.clear();
        break;
      }
      const Request r = std::move(in_flight.front());
      in_flight.pop_front();
      if (reply->id != r.id) {
        failures.Add(who + ": expected the reply to " + Describe(r) + ", got id " +
                     std::to_string(reply->id) + ": " + Quoted(reply->body));
        continue;
      }
      std::smatch match;
      if (reply->type != ResponseValue || !std::regex_match(reply->body, match, *r.shape) ||
          (r.creature && match[1].str() != std::to_string(r.creature))) {
        failures.Add(who + ": " + Describe(r) + " answered with type " +
                     std::to_string(reply->type) + ": " + Quoted(reply->body));
        continue;
      }
      if (r.kind == Kind::Spawn) {
        own_creature = std::stol(match[1].str());
        spawned_ids.Add(own_creature, who);
      }
      ++result.answered;
      result.micros.push_back(
          std::chrono::duration_cast<std::chrono::microseconds>(received - r.sent).count());
    }
    // Whatever was never sent counts as failed, so that a client that gave up cannot pass.
    if (sent < RequestsPerClient)
      failures.Add(who + ": " + std::to_string(RequestsPerClient - sent) + " requests never sent",
                   RequestsPerClient - sent);
  } catch (const std::exception& e) {
    failures.Add(who + ": " + e.what());
  }
}

// ---- The sandbox as a child process -----------------------------------------------------------

struct Child {
  pid_t pid = -1;
  int input = -1;   // its standard input, ours to write
  int output = -1;  // its standard output, ours to read
};

Child StartSandbox(const std::string& program, const fs::path& dir, const fs::path& errors) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
    Die(std::string("pipe: ") + std::strerror(errno));
  // Halt on the first report, with a status of its own, so that a race cannot pass unnoticed in
  // the noise of the log; what the caller set comes first so that ours wins.
  const char* earlier = std::getenv("TSAN_OPTIONS");
  const std::string tsan = std::string(earlier ? earlier : "") + " halt_on_error=1 exitcode=66";
  setenv("TSAN_OPTIONS", tsan.c_str(), 1);

  const pid_t pid = fork();
  if (pid < 0) Die(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (err < 0 || dup2(in[0], STDIN_FILENO) < 0 || dup2(out[1], STDOUT_FILENO) < 0 ||
        dup2(err, STDERR_FILENO) < 0)
      _exit(127);
    const std::string dir_text = dir.string();
    const char* argv[] = {program.c_str(),   "--dir",  dir_text.c_str(), "--rcon-port", "0",
                          "--rcon-password", Password, nullptr};
    execv(program.c_str(), const_cast<char* const*>(argv));
    const std::string why = "cannot run " + program + ": " + std::strerror(errno) + "\n";
    (void)!write(STDERR_FILENO, why.data(), why.size());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  fcntl(in[1], F_SETFL, fcntl(in[1], F_GETFL) | O_NONBLOCK);
  fcntl(out[0], F_SETFL, fcntl(out[0], F_GETFL) | O_NONBLOCK);
  return {pid, in[1], out[0]};
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The sandbox's standard output, a line at a time, without ever blocking longer than asked.
class Lines {
 public:
  explicit Lines(int fd) : fd_(fd) {}

  // A whole line if one comes before until; nothing at the end of the output or on time out.
  std::optional<std::string> Next(Clock::time_point until) {
    for (;;) {
      if (const auto nl = pending_.find('\n'); nl != std::string::npos) {
        std::string line = pending_.substr(0, nl);
        pending_.erase(0, nl + 1);
        return line;
      }
      if (ended_) return std::nullopt;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
      pollfd p{fd_, POLLIN, 0};
      const int ready = poll(&p, 1, static_cast<int>(std::max<long long>(0, left)));
      if (ready > 0) {
        char chunk[4096];
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0)
          ended_ = true;
        else
          pending_.append(chunk, static_cast<std::size_t>(n));
        continue;
      }
      if (ready < 0 && errno != EINTR)
        ended_ = true;
      else if (Clock::now() >= until)
        return std::nullopt;
    }
  }

  bool Ended() const { return ended_; }

 private:
  int fd_;
  std::string pending_;
  bool ended_ = false;
};

// Writes whole lines to the sandbox's standard input without blocking the console's pace.
class Input {
 public:
  explicit Input(int fd) : fd_(fd) {}
  void Write(const std::string& line) {
    pending_ += line + "\n";
    Flush();
  }
  void Flush() {
    while (!pending_.empty()) {
      const ssize_t n = write(fd_, pending_.data(), pending_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      pending_.erase(0, static_cast<std::size_t>(n));
    }
  }
  bool Empty() const { return pending_.empty(); }
  void Close() {
    close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
  std::string pending_;
};

struct ConsoleStep {
  const char* line;
  std::regex shape;
};

// What the console does meanwhile: a steady stream of spawns, cuddles, imprints and time.
std::vector<ConsoleStep> ConsoleSteps() {
  return {
      {"spawn Thornhopper", std::regex("spawned ([0-9]+)")},
      {"cuddle 1 1", std::regex("cuddle 1 due=" + Number + " kind=[0-9]+ food=\\S+")},
      {"imprint 1 add 0.001", std::regex("imprint 1 added=" + Number + " quality=" + Number)},
      {"advance 60", std::regex("time " + Number)},
      {"cuddle 1 0", std::regex("cuddle 1 due=" + Number + " kind=[0-9]+ food=\\S+")},
      {"imprint 1 set 0.5", std::regex("imprint 1 set=" + Number + " quality=" + Number)},
  };
}

// Checks one console line of output against the oldest console command not yet answered.
void CheckConsoleLine(const std::string& line, std::deque<const ConsoleStep*>& awaiting) {
  if (awaiting.empty()) return failures.Add("console: unexpected output \"" + line + "\"");
  const ConsoleStep* step = awaiting.front();
  awaiting.pop_front();
  std::smatch match;
  if (!std::regex_match(line, match, step->shape))
    return failures.Add(std::string("console: \"") + step->line + "\" answered \"" + line + "\"");
  if (match.size() > 1) spawned_ids.Add(std::stol(match[1].str()), "console");
}

std::int64_t Percentile(std::vector<std::int64_t>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(at, sorted.size() - 1)];
}

// Waits for the child until the deadline; kills it after that. Gives its wait status.
int Reap(pid_t pid) {
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 && errno != EINTR) Die(std::string("waitpid: ") + std::strerror(errno));
    if (PastDeadline()) {
      failures.Add("the sandbox did not exit in time; killed");
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: rcon_load SANDBOX [SOURCE_DIR]\n");
    return 2;
  }
  const std::string program = argv[1];
  const char* source_env = std::getenv("NESTKEEP_SOURCE_DIR");
  if (argc < 3 && !source_env) {
    std::fprintf(stderr, "rcon_load: give the source directory, or set NESTKEEP_SOURCE_DIR\n");
    return 2;
  }
  const fs::path source = argc == 3 ? argv[2] : source_env;
  deadline = Clock::now() + OverallLimit;
  signal(SIGPIPE, SIG_IGN);

  const fs::path work =
      fs::temp_directory_path() / ("nestkeep-rcon-load-" + std::to_string(getpid()));
  fs::create_directories(work / "ArkApi/Plugins/Nestkeep");
  std::error_code copy_error;
  fs::copy_file(source / "examples/config.json", work / "ArkApi/Plugins/Nestkeep/config.json",
                copy_error);
  if (copy_error)
    Die("cannot copy " + (source / "examples/config.json").string() + ": " + copy_error.message());
  const fs::path errors = work / "sandbox.err";

  const Child child = StartSandbox(program, work, errors);
  Lines lines(child.output);
  Input input(child.input);

  // Started: the port, then ready.
  std::optional<std::uint16_t> port;
  bool ready = false;
  const Clock::time_point start_by = Clock::now() + StartLimit;
  const std::regex listening("rcon listening on 127\\.0\\.0\\.1:([0-9]+)");
  while (!ready) {
    const std::optional<std::string> line = lines.Next(start_by);
    if (!line) {
      kill(child.pid, SIGKILL);
      waitpid(child.pid, nullptr, 0);
      Die(std::string(lines.Ended() ? "the sandbox ended" : "the sandbox was not ready in time") +
          " before it was ready; its standard error:\n" + ReadFile(errors));
    }
    std::smatch match;
    if (std::regex_match(*line, match, listening))
      port = static_cast<std::uint16_t>(std::stoul(match[1].str()));
    if (*line == "ready") ready = true;
  }
  if (!port) Die("the sandbox was ready without saying where RCON listens");

  // The first creature, which every client shows and cuddles.
  input.Write(std::string("spawn ") + FirstSpecies);
  const std::optional<std::string> first = lines.Next(start_by);
  if (first != "spawned 1") {
    kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, 0);
    Die("the first spawn answered \"" + first.value_or("nothing") + "\"");
  }
  spawned_ids.Add(1, "console");

  const Shapes shapes;
  std::vector<ClientResult> results(ClientCount);
  std::atomic<int> finished{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < ClientCount; ++i)
    clients.emplace_back([i, &shapes, &port, &results, &finished] {
      RunClient(shapes, i, *port, results[static_cast<std::size_t>(i)]);
      ++finished;
    });

  // The console alongside, until the last client is done; then its last answers.
  const std::vector<ConsoleStep> steps = ConsoleSteps();
  std::deque<const ConsoleStep*> awaiting;
  std::size_t next_step = 0;
  int console_lines = 0;
  Clock::time_point next_write = Clock::now();
  while (finished < ClientCount && !PastDeadline()) {
    if (Clock::now() >= next_write) {
      const ConsoleStep& step = steps[next_step++ % steps.size()];
      input.Write(step.line);
      awaiting.push_back(&step);
      ++console_lines;
      // A steady pace: beats missed while this thread was held up are dropped, not made up.
      next_write = std::max(next_write + ConsolePace, Clock::now());
    }
    input.Flush();
    if (const std::optional<std::string> line = lines.Next(std::min(next_write, deadline)))
      CheckConsoleLine(*line, awaiting);
    if (lines.Ended()) break;
  }
  while (!awaiting.empty() && !PastDeadline()) {
    input.Flush();
    const std::optional<std::string> line =
        lines.Next(std::min(Clock::now() + std::chrono::milliseconds(100), deadline));
    if (line)
      CheckConsoleLine(*line, awaiting);
    else if (lines.Ended())
      break;
  }
  for (const ConsoleStep* step : awaiting)
    failures.Add(std::string("console: no answer to \"") + step->line + "\"");
  if (PastDeadline()) {
    failures.Add("out of time after " + std::to_string(OverallLimit.count()) + " s");
    kill(child.pid, SIGKILL);  // ends every connection, so that the clients stop waiting
  }
  for (std::thread& client : clients) client.join();

  // The end of the input ends the sandbox; nothing more may be printed.
  input.Close();
  while (const std::optional<std::string> line = lines.Next(deadline))
    failures.Add("console: unexpected output after the end \"" + *line + "\"");
  const int status = Reap(child.pid);
  close(child.output);

  // How the sandbox ended comes first in the report: a race or a crash explains lost replies.
  std::vector<std::string> verdict;
  const std::string errors_text = ReadFile(errors);
  if (const auto at = errors_text.find("ThreadSanitizer"); at != std::string::npos) {
    const auto from = errors_text.rfind("==================", at);
    verdict.push_back("ThreadSanitizer reported:\n" +
                      errors_text.substr(from == std::string::npos ? at : from, 8000));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 66)
    verdict.push_back("the sandbox exited 66: ThreadSanitizer halted it");
  else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
    verdict.push_back("the sandbox exited " + std::to_string(WEXITSTATUS(status)));
  else if (WIFSIGNALED(status))
    verdict.push_back("the sandbox was killed by signal " + std::to_string(WTERMSIG(status)));

  std::vector<std::int64_t> micros;
  int answered = 0;
  for (const ClientResult& r : results) {
    micros.insert(micros.end(), r.micros.begin(), r.micros.end());
    answered += r.answered;
  }
  std::sort(micros.begin(), micros.end());
  const int failed = failures.Count() + static_cast<int>(verdict.size());
  std::printf(
      "rcon load: %d requests from %d clients, %d answered as expected, %d failures; "
      "round trip p50 %lld us, p99 %lld us, max %lld us; %d console lines alongside\n",
      ClientCount * RequestsPerClient, ClientCount, answered, failed,
      static_cast<long long>(Percentile(micros, 0.50)),
      static_cast<long long>(Percentile(micros, 0.99)),
      static_cast<long long>(micros.empty() ? 0 : micros.back()), console_lines);
  if (failed || answered != ClientCount * RequestsPerClient) {
    for (const std::string& v : verdict) std::fprintf(stderr, "rcon load: %s\n", v.c_str());
    failures.Print();
    std::fprintf(stderr, "rcon load: FAILED; the sandbox's standard error is in %s\n",
                 errors.c_str());
    return 1;
  }
  fs::remove_all(work);
  return 0;
}
