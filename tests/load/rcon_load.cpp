// RCON under load: the real nestkeep-sandbox, 32 clients with 200 requests each, reloads and
// console commands mixed and pipelined, while its own console spawns and cuddles. Every reply must
// come back with its request's id, in request order and in the shape the command gives; the
// sandbox must exit cleanly with no ThreadSanitizer report. Prints the round-trip times.
//
// Usage: rcon_load SANDBOX SOURCE_DIR
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Process.h"
#include "tests/support/RconClient.h"
#include "tests/support/Scratch.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int ClientCount = 32;
constexpr int RequestsPerClient = 200;
constexpr std::size_t MaxInFlight = 4;
constexpr auto OverallLimit = std::chrono::seconds(120);
// Generous, for a sandbox built with ThreadSanitizer on a busy machine.
constexpr auto ReplyTimeout = std::chrono::seconds(20);
constexpr auto StartLimit = std::chrono::seconds(30);
constexpr auto ConsolePace = std::chrono::milliseconds(1);
constexpr const char* Password = "load-keeper";

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
  std::regex imprint_set{"imprint 1 set=" + Number + " quality=" + Number};  // the console's only
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
    RconClient connection(port, ReplyTimeout);
    if (!connection.Connected()) return failures.Add(who + ": " + connection.why());
    if (!connection.Send(base, Rcon::AuthRequest, Password))
      return failures.Add(who + ": could not send the authentication");
    const std::optional<Rcon::Packet> answer = connection.Read();
    if (!answer) return failures.Add(who + ": no authentication answer: " + connection.why());
    if (answer->id != base || answer->type != Rcon::AuthAnswer)
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
        std::vector<std::uint8_t> bytes;
        for (int k = 0; k < batch; ++k) {
          const auto kind = static_cast<Kind>(random() % KindCount);
          Request r = MakeRequest(shapes, index, kind, base + 1 + sent++, own_creature);
          const std::vector<std::uint8_t> packet = Rcon::Encode(
              r.id, r.kind == Kind::EndMarker ? Rcon::ResponseValue : Rcon::ExecRequest, r.line);
          bytes.insert(bytes.end(), packet.begin(), packet.end());
          in_flight.push_back(std::move(r));
        }
        const Clock::time_point now = Clock::now();
        for (auto it = in_flight.end() - batch; it != in_flight.end(); ++it) it->sent = now;
        if (!connection.Send(bytes)) {
          failures.Add(who + ": could not send " + Describe(in_flight.back()));
          break;
        }
      }

      const std::optional<Rcon::Packet> reply = connection.Read();
      const Clock::time_point received = Clock::now();
      if (!reply) {
        for (const Request& r : in_flight)
          failures.Add(who + ": no reply to " + Describe(r) + ": " + connection.why());
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
      if (reply->type != Rcon::ResponseValue || !std::regex_match(reply->body, match, *r.shape) ||
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

std::unique_ptr<ChildProcess> StartSandbox(const std::string& program, const fs::path& dir,
                                           const fs::path& output, const fs::path& errors) {
  // Halt on the first report, with a status of its own, so that a race cannot pass unnoticed in
  // the noise of the log; what the caller set comes first so that ours wins. The sandbox inherits
  // it; the string must outlive the process's use of it.
  const char* earlier = std::getenv("TSAN_OPTIONS");
  static std::string tsan =
      "TSAN_OPTIONS=" + std::string(earlier ? earlier : "") + " halt_on_error=1 exitcode=66";
  putenv(tsan.data());
  auto child =
      std::make_unique<ChildProcess>(program,
                                     std::vector<std::string>{"--dir", dir.string(), "--rcon-port",
                                                              "0", "--rcon-password", Password},
                                     output.string(), errors.string());
  if (!child->Started()) Die(child->why());
  return child;
}

// Kills the sandbox before giving up, so that it does not serve on after the driver.
[[noreturn]] void Abandon(ChildProcess& child, const std::string& message) {
  child.Kill();
  child.Wait(std::chrono::seconds(10));
  Die(message);
}

// The sandbox's standard output, which goes to a file: read a line at a time as the file grows,
// never waiting longer than asked. It ends once the sandbox has ended and all it wrote is read.
class Lines {
 public:
  Lines(fs::path path, ChildProcess& child) : path_(std::move(path)), child_(child) {}

  // A whole line if one comes before until; nothing at the end of the output or on time out.
  std::optional<std::string> Next(Clock::time_point until) {
    for (;;) {
      if (const auto nl = pending_.find('\n'); nl != std::string::npos) {
        std::string line = pending_.substr(0, nl);
        pending_.erase(0, nl + 1);
        return line;
      }
      if (ended_) return std::nullopt;
      // Asked before reading, so that what it wrote before it ended is read below.
      const bool exited = child_.Wait(std::chrono::milliseconds(0)).has_value();
      if (ReadMore()) continue;
      if (exited) {
        ended_ = true;
        continue;
      }
      const Clock::time_point now = Clock::now();
      if (now >= until) return std::nullopt;
      std::this_thread::sleep_for(std::min<Clock::duration>(until - now, PollPause));
    }
  }

  bool Ended() const { return ended_; }

 private:
  static constexpr auto PollPause = std::chrono::milliseconds(1);

  // Appends what the file gained since the last read; false when it gained nothing. Opened anew
  // each time: a stream that met the end of the file keeps it (Windows' C runtime too), and an
  // open file could not be removed on Windows.
  bool ReadMore() {
    std::ifstream file(path_, std::ios::binary);  // not there yet in the sandbox's first moments
    if (!file.seekg(read_)) return false;
    char chunk[4096];
    const std::streamoff before = read_;
    std::streamsize n = 0;
    do {
      file.read(chunk, sizeof chunk);
      n = file.gcount();
      pending_.append(chunk, static_cast<std::size_t>(n));
      read_ += n;
    } while (n == sizeof chunk);
    return read_ > before;
  }

  fs::path path_;
  ChildProcess& child_;
  std::streamoff read_ = 0;  // bytes of the file read so far
  std::string pending_;
  bool ended_ = false;
};

// The sandbox's standard input, written by a thread of its own, so that the console's pace never
// waits on a full pipe and a sandbox that stops reading cannot hold the driver past its deadline:
// killing the sandbox ends any write under way.
class Input {
 public:
  explicit Input(ChildProcess& child) : child_(child), writer_([this] { Run(); }) {}
  // Only once the sandbox has ended or been killed, so that no write can still be waiting.
  ~Input() {
    Close();
    writer_.join();
  }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  void Write(const std::string& line) {
    {
      std::lock_guard lock(mutex_);
      pending_ += line + "\n";
    }
    wake_.notify_one();
  }

  // Closes the sandbox's standard input once everything written so far has gone.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    wake_.notify_one();
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return closing_ || !pending_.empty(); });
      if (pending_.empty()) break;
      const std::string text = std::move(pending_);
      pending_.clear();
      lock.unlock();
      const bool written = child_.Write(text);
      lock.lock();
      if (!written) break;
    }
    child_.CloseInput();
  }

  ChildProcess& child_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string pending_;
  bool closing_ = false;
  std::thread writer_;
};

struct ConsoleStep {
  const char* line;
  const std::regex* shape;
};

// What the console does meanwhile: a steady stream of spawns, cuddles, imprints and time.
std::vector<ConsoleStep> ConsoleSteps(const Shapes& shapes) {
  return {
      {"spawn Thornhopper", &shapes.spawn},     {"cuddle 1 1", &shapes.cuddle},
      {"imprint 1 add 0.001", &shapes.imprint}, {"advance 60", &shapes.time},
      {"cuddle 1 0", &shapes.cuddle},           {"imprint 1 set 0.5", &shapes.imprint_set},
  };
}

// Checks one console line of output against the oldest console command not yet answered.
void CheckConsoleLine(const std::string& line, std::deque<const ConsoleStep*>& awaiting) {
  if (awaiting.empty()) return failures.Add("console: unexpected output \"" + line + "\"");
  const ConsoleStep* step = awaiting.front();
  awaiting.pop_front();
  std::smatch match;
  if (!std::regex_match(line, match, *step->shape))
    return failures.Add(std::string("console: \"") + step->line + "\" answered \"" + line + "\"");
  if (match.size() > 1) spawned_ids.Add(std::stol(match[1].str()), "console");
}

std::int64_t Percentile(std::vector<std::int64_t>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
  return sorted[std::min(at, sorted.size() - 1)];
}

// Waits for the sandbox until the deadline; kills it after that. Gives its exit status.
int Reap(ChildProcess& child) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (const std::optional<int> status = child.Wait(std::max(left, std::chrono::milliseconds(0))))
    return *status;
  failures.Add("the sandbox did not exit in time; killed");
  child.Kill();
  return child.Wait(std::chrono::seconds(10)).value_or(-1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: rcon_load SANDBOX SOURCE_DIR\n");
    return 2;
  }
  const std::string program = argv[1];
  const fs::path source = argv[2];
  deadline = Clock::now() + OverallLimit;

  const fs::path work = MakeServerFolder("rcon-load");
  std::error_code copy_error;
  fs::copy_file(source / "examples/config.json", ConfigPath(work), copy_error);
  if (copy_error)
    Die("cannot copy " + (source / "examples/config.json").string() + ": " + copy_error.message());
  const fs::path errors = work / "sandbox.err";

  const std::unique_ptr<ChildProcess> child =
      StartSandbox(program, work, work / "sandbox.out", errors);
  Lines lines(work / "sandbox.out", *child);

  // Started: the port, then ready.
  std::optional<std::uint16_t> port;
  bool ready = false;
  const Clock::time_point start_by = Clock::now() + StartLimit;
  const std::regex listening("rcon listening on 127\\.0\\.0\\.1:([0-9]+)");
  while (!ready) {
    const std::optional<std::string> line = lines.Next(start_by);
    if (!line) {
      const std::string what =
          lines.Ended() ? "ended with status " +
                              std::to_string(child->Wait(std::chrono::milliseconds(0)).value()) +
                              " before it was ready"
                        : "was not ready in time";
      Abandon(*child, "the sandbox " + what + "; its standard error:\n" + ReadText(errors));
    }
    std::smatch match;
    if (std::regex_match(*line, match, listening))
      port = static_cast<std::uint16_t>(std::stoul(match[1].str()));
    if (*line == "ready") ready = true;
  }
  if (!port) Abandon(*child, "the sandbox was ready without saying where RCON listens");
  Input input(*child);

  // The first creature, which every client shows and cuddles.
  input.Write(std::string("spawn ") + FirstSpecies);
  const std::optional<std::string> first = lines.Next(start_by);
  if (first != "spawned 1")
    Abandon(*child, "the first spawn answered \"" + first.value_or("nothing") + "\"");
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
  const std::vector<ConsoleStep> steps = ConsoleSteps(shapes);
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
    if (const std::optional<std::string> line = lines.Next(std::min(next_write, deadline)))
      CheckConsoleLine(*line, awaiting);
    if (lines.Ended()) break;
  }
  while (!awaiting.empty() && !PastDeadline()) {
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
    child->Kill();  // ends every connection, so that the clients stop waiting
  }
  for (std::thread& client : clients) client.join();

  // quit ends the sandbox; nothing more may be printed. Its input is closed too, so that a sandbox
  // that ends at the end of its input ends all the same.
  input.Write("quit");
  input.Close();
  while (const std::optional<std::string> line = lines.Next(deadline))
    failures.Add("console: unexpected output after the end \"" + *line + "\"");
  const int status = Reap(*child);

  // How the sandbox ended comes first in the report: a race or a crash explains lost replies.
  std::vector<std::string> verdict;
  const std::string errors_text = ReadText(errors);
  if (const auto at = errors_text.find("ThreadSanitizer"); at != std::string::npos) {
    const auto from = errors_text.rfind("==================", at);
    verdict.push_back("ThreadSanitizer reported:\n" +
                      errors_text.substr(from == std::string::npos ? at : from, 8000));
  }
  if (status == 66)
    verdict.push_back("the sandbox exited 66: ThreadSanitizer halted it");
  else if (status > 128 && status < 128 + 65)
    verdict.push_back("the sandbox was killed by signal " + std::to_string(status - 128));
  else if (status != 0)
    verdict.push_back("the sandbox exited " + std::to_string(status));

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
                 errors.string().c_str());
    return 1;
  }
  fs::remove_all(work);
  return 0;
}
