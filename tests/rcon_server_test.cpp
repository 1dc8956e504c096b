// The RCON listener in-process: a test game thread runs the jobs, and clients of our own play the
// clients, so that every byte on the wire is ours to choose.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "sandbox/rcon/Packet.h"
#include "sandbox/rcon/Server.h"
#include "tests/support/RconClient.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr const char* Password = "hatchling";

// The game's thread for these tests: runs jobs in order, or holds them while paused.
class GameThread {
 public:
  GameThread() : thread_([this] { Run(); }) {}
  ~GameThread() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    ready_.notify_all();
    thread_.join();
  }

  void Post(std::function<void()> job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    ready_.notify_all();
  }

  void Pause(bool paused) {
    {
      std::lock_guard lock(mutex_);
      paused_ = paused;
    }
    ready_.notify_all();
  }

  std::size_t Queued() {
    std::lock_guard lock(mutex_);
    return jobs_.size();
  }

  std::thread::id Id() const { return thread_.get_id(); }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      ready_.wait(lock, [this] { return done_ || (!paused_ && !jobs_.empty()); });
      if (done_ && (paused_ || jobs_.empty())) return;
      auto job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  bool paused_ = false;
  bool done_ = false;
  std::thread thread_;
};

// The test's client: its password, and five seconds for every wait; from 127.0.0.1 unless another
// loopback address is given.
class Client : public RconClient {
 public:
  explicit Client(std::uint16_t port, const std::string& source = "")
      : RconClient(port, 5s, source) {}
  bool Authenticate(std::int32_t id = 1) { return RconClient::Authenticate(Password, id); }
};

Bytes Raw(std::int32_t size, const Bytes& rest) {
  Bytes out;
  const auto bits = static_cast<std::uint32_t>(size);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(bits >> shift));
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

// Whole alphabets at a time: replies of megabytes are built often, in sanitizer builds too.
std::string Pattern(std::size_t length) {
  std::string text;
  text.reserve(length + 26);
  while (text.size() < length) text += "abcdefghijklmnopqrstuvwxyz";
  text.resize(length);
  return text;
}

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to = SIZE_MAX) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(std::min(to, bytes.size())));
}

// The limits' times, short enough to keep the suite fast and long enough for a loaded machine to
// keep within them.
Rcon::Limits ShortLimits() {
  Rcon::Limits limits;
  limits.auth_deadline = 300ms;
  limits.stall_deadline = 300ms;
  limits.failure_window = 1000ms;
  limits.refusal_period = 500ms;
  return limits;
}

class RconServer : public testing::Test {
 protected:
  void SetUp() override { Start(); }
  void Start() {
    port_ = Rcon::StartServer(
        0, Password, [this](std::int32_t id, const std::string& line) { return Run(id, line); },
        [this](std::function<void()> job) { game_.Post(std::move(job)); },
        [this](const std::string& line) {
          if (std::this_thread::get_id() != game_.Id()) off_game_thread_ = true;
          std::lock_guard lock(mutex_);
          warnings_.push_back(line);
        },
        limits_);
  }
  void TearDown() override {
    Rcon::StopServer();
    game_.Pause(false);
  }

  // The test's game: "echo TEXT", "big N" (N bytes), "pair" (two replies with ids and types of its
  // own), "slow TEXT" (takes a while, to give later requests a chance to overtake), "throw".
  std::vector<RconReply> Run(std::int32_t id, const std::string& line) {
    if (std::this_thread::get_id() != game_.Id()) off_game_thread_ = true;
    {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
    }
    if (line.rfind("echo ", 0) == 0) return {{id, 0, line.substr(5)}};
    if (line.rfind("big ", 0) == 0) return {{id, 0, Pattern(std::stoul(line.substr(4)))}};
    if (line == "pair") return {{id, 0, "first"}, {id + 1000, 2, "second"}};
    if (line.rfind("slow ", 0) == 0) {
      std::this_thread::sleep_for(20ms);
      return {{id, 0, line.substr(5)}};
    }
    if (line == "throw") throw std::runtime_error("the game failed");
    return {{id, 0, ""}};
  }

  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

  std::vector<std::string> Warnings() {
    std::lock_guard lock(mutex_);
    return warnings_;
  }

  Rcon::Limits limits_ = ShortLimits();
  GameThread game_;
  std::uint16_t port_ = 0;
  std::atomic<bool> off_game_thread_{false};
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> warnings_;
};

void ExpectPacket(const std::optional<Rcon::Packet>& p, std::int32_t id, std::int32_t type,
                  const std::string& body) {
  ASSERT_TRUE(p.has_value()) << "no packet where id " << id << " was expected";
  EXPECT_EQ(p->id, id);
  EXPECT_EQ(p->type, type);
  EXPECT_EQ(p->body, body);
}

TEST_F(RconServer, AuthAnswersWithTheRequestId) {
  for (std::int32_t id : {0, 1, 0x999, -5, INT32_MAX}) {
    Client c(port_);
    ASSERT_TRUE(c.Connected());
    c.Send(id, Rcon::AuthRequest, Password);
    ExpectPacket(c.Read(), id, Rcon::AuthAnswer, "");
    c.Send(id, Rcon::ExecRequest, "echo after auth");
    ExpectPacket(c.Read(), id, Rcon::ResponseValue, "after auth");
  }
  EXPECT_FALSE(off_game_thread_);
}

// A wrong password, or anything else before authenticating.
TEST_F(RconServer, AnythingButThePasswordFirstIsRefusedAndClosed) {
  struct Case {
    std::int32_t type;
    std::string body;
  };
  for (const Case& k :
       {Case{Rcon::AuthRequest, ""}, Case{Rcon::AuthRequest, "hatchlin"},
        Case{Rcon::AuthRequest, "hatchlings"}, Case{Rcon::AuthRequest, "HATCHLING"},
        Case{Rcon::AuthRequest, " hatchling"}, Case{Rcon::ExecRequest, "echo sneaky"},
        Case{Rcon::ResponseValue, ""}, Case{Rcon::ExecRequest, Password}, Case{1, "x"}}) {
    SCOPED_TRACE(::testing::Message() << "type " << k.type << " body '" << k.body << "'");
    Client c(port_);
    c.Send(3, k.type, k.body);
    c.Send(4, Rcon::AuthRequest, Password);  // too late: the connection is already refused
    ExpectPacket(c.Read(), Rcon::RefusedId, Rcon::AuthAnswer, "");
    EXPECT_TRUE(c.Closed());
  }
  EXPECT_TRUE(Lines().empty());
}

// A burst sent while the game is held: the connection has at most one request on the game's
// thread at a time, and once the game runs again every reply comes, in order.
TEST_F(RconServer, ABurstWhileTheGameIsHeldIsAnsweredInOrder) {
  Client c(port_);
  ASSERT_TRUE(c.Authenticate());
  game_.Pause(true);
  std::vector<Bytes> burst;
  for (int i = 1; i <= 300; ++i) {
    // Slow requests, end markers and split replies, which take different paths, all in one burst.
    std::string line = i % 50 == 0  ? "slow " + std::to_string(i)
                       : i % 7 == 0 ? "big 5000"
                                    : "echo " + std::to_string(i);
    burst.push_back(i % 11 == 0 ? Rcon::Encode(i, Rcon::ResponseValue, "")
                                : Rcon::Encode(i, Rcon::ExecRequest, line));
  }
  c.Send(Join(burst));
  std::this_thread::sleep_for(50ms);
  EXPECT_LE(game_.Queued(), 1u) << "a connection had more than one request on the game's thread";
  game_.Pause(false);
  for (int i = 1; i <= 300; ++i) {
    if (i % 11 == 0) {
      ExpectPacket(c.Read(), i, Rcon::ResponseValue, "");
    } else if (i % 50 == 0 || i % 7 != 0) {
      ExpectPacket(c.Read(), i, Rcon::ResponseValue, std::to_string(i));
    } else {
      ExpectPacket(c.Read(), i, Rcon::ResponseValue, Pattern(5000).substr(0, 4086));
      ExpectPacket(c.Read(), i, Rcon::ResponseValue, Pattern(5000).substr(4086));
    }
    if (HasFatalFailure()) return;
  }
}

TEST_F(RconServer, SplitReplyThenOneEmptyMarker) {
  struct Case {
    std::size_t length;
    std::vector<std::size_t> bodies;
  };
  Client c(port_);
  ASSERT_TRUE(c.Authenticate());
  for (const Case& k : {Case{0, {0}}, Case{4086, {4086}}, Case{4087, {4086, 1}},
                        Case{8172, {4086, 4086}}, Case{10000, {4086, 4086, 1828}}}) {
    c.Send(21, Rcon::ExecRequest, "big " + std::to_string(k.length));
    c.Send(22, Rcon::ResponseValue, "");
    std::string joined;
    for (std::size_t size : k.bodies) {
      auto p = c.Read();
      ASSERT_TRUE(p);
      EXPECT_EQ(p->id, 21);
      EXPECT_EQ(p->body.size(), size);
      joined += p->body;
    }
    EXPECT_EQ(joined, Pattern(k.length));
    ExpectPacket(c.Read(), 22, Rcon::ResponseValue, "");
  }
}

TEST_F(RconServer, RepliesAreWhatTheGameGivesAndServingGoesOn) {
  struct Case {
    const char* line;
    std::vector<Rcon::Packet> replies;
  };
  Client c(port_);
  ASSERT_TRUE(c.Authenticate());
  for (const Case& k : {Case{"pair", {{5, 0, "first"}, {1005, 2, "second"}}},
                        Case{"throw", {{5, 0, "error: the game failed"}}}}) {
    SCOPED_TRACE(k.line);
    c.Send(5, Rcon::ExecRequest, k.line);
    for (const Rcon::Packet& reply : k.replies)
      ExpectPacket(c.Read(), reply.id, reply.type, reply.body);
    c.Send(9, Rcon::ExecRequest, "echo still here");
    ExpectPacket(c.Read(), 9, 0, "still here");
  }
}

TEST_F(RconServer, ReauthKeepsOrderAndAWrongOneCloses) {
  Client c(port_);
  ASSERT_TRUE(c.Authenticate());
  c.Send(1, Rcon::ExecRequest, "slow one");
  c.Send(2, Rcon::AuthRequest, Password);
  c.Send(3, Rcon::ExecRequest, "echo three");
  c.Send(4, Rcon::AuthRequest, "wrong");
  c.Send(5, Rcon::ExecRequest, "echo never");
  ExpectPacket(c.Read(), 1, 0, "one");
  ExpectPacket(c.Read(), 2, Rcon::AuthAnswer, "");
  ExpectPacket(c.Read(), 3, 0, "three");
  ExpectPacket(c.Read(), Rcon::RefusedId, Rcon::AuthAnswer, "");
  EXPECT_TRUE(c.Closed());
  EXPECT_EQ(Lines(), (std::vector<std::string>{"slow one", "echo three"}));
}

TEST_F(RconServer, PacketsInPiecesGiveTheSameAnswers) {
  const Bytes stream = Join({Rcon::Encode(1, Rcon::AuthRequest, Password),
                             Rcon::Encode(2, Rcon::ExecRequest, "echo split"),
                             Rcon::Encode(3, Rcon::ResponseValue, "")});
  for (std::size_t piece : {1, 3, 5, 13}) {
    Client c(port_);
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      c.Send(Slice(stream, at, at + piece));
      std::this_thread::sleep_for(1ms);
    }
    ExpectPacket(c.Read(), 1, Rcon::AuthAnswer, "");
    ExpectPacket(c.Read(), 2, 0, "split");
    ExpectPacket(c.Read(), 3, 0, "");
  }
}

TEST_F(RconServer, HangingUpAfterARequestStillGetsTheReply) {
  Client c(port_);
  ASSERT_TRUE(c.Authenticate());
  c.Send(6, Rcon::ExecRequest, "slow bye");
  c.ShutdownSend();
  ExpectPacket(c.Read(), 6, 0, "bye");
  EXPECT_TRUE(c.Closed());
}

struct BadInput {
  const char* name;
  Bytes bytes;
  bool then_hang_up;
};

void PrintTo(const BadInput& c, std::ostream* out) { *out << c.name; }

class RconServerBadInput : public RconServer, public testing::WithParamInterface<BadInput> {};

TEST_P(RconServerBadInput, ClosesOnlyThatConnection) {
  Client other(port_);
  ASSERT_TRUE(other.Authenticate(40));
  other.Send(41, Rcon::ExecRequest, "echo before");
  ExpectPacket(other.Read(), 41, 0, "before");

  {
    Client bad(port_);
    ASSERT_TRUE(bad.Authenticate(50));
    bad.Send(GetParam().bytes);
    if (GetParam().then_hang_up) bad.ShutdownSend();
    EXPECT_TRUE(bad.Closed());
  }

  other.Send(42, Rcon::ExecRequest, "echo after");
  ExpectPacket(other.Read(), 42, 0, "after");
  Client fresh(port_);
  ASSERT_TRUE(fresh.Authenticate(60));
  fresh.Send(61, Rcon::ExecRequest, "echo fresh");
  ExpectPacket(fresh.Read(), 61, 0, "fresh");
}

INSTANTIATE_TEST_SUITE_P(
    Rcon, RconServerBadInput,
    testing::Values(
        BadInput{"Size9", Raw(9, Bytes(9, 0)), false}, BadInput{"Size4097", Raw(4097, {}), false},
        BadInput{"SizeZero", Raw(0, {}), false}, BadInput{"NegativeSize", Raw(-1, {}), false},
        BadInput{"LastByteNotZero", Raw(12, {1, 0, 0, 0, 2, 0, 0, 0, 'a', 'b', 'c', 'd'}), false},
        BadInput{"HalfSizeThenHangUp", {20, 0}, true},
        BadInput{"HalfBodyThenHangUp", Raw(40, {1, 0, 0, 0, 2, 0, 0, 0, 'e'}), true},
        BadInput{"Text", {'s', 't', 'a', 't', 'u', 's', '\n'}, false}),
    [](const testing::TestParamInfo<BadInput>& p) { return std::string(p.param.name); });

// Stopping must not wait for the game, and a job that runs after the stop must not reach freed
// connections.
TEST_F(RconServer, StopsWithJobsQueuedAndConnectionsMidRead) {
  game_.Pause(true);
  std::vector<std::unique_ptr<Client>> queued;
  for (int c = 0; c < 4; ++c) {
    queued.push_back(std::make_unique<Client>(port_));
    ASSERT_TRUE(queued.back()->Authenticate());
    for (int i = 0; i < 5; ++i) queued.back()->Send(i, Rcon::ExecRequest, "echo late");
  }
  Client mid_read(port_);
  mid_read.Send(Raw(30, {1, 0}));
  for (int i = 0; i < 1000 && game_.Queued() < 4; ++i) std::this_thread::sleep_for(5ms);
  ASSERT_EQ(game_.Queued(), 4u);

  Rcon::StopServer();
  for (const auto& client : queued) EXPECT_TRUE(client->Closed());
  EXPECT_TRUE(mid_read.Closed());
  game_.Pause(false);
  for (int i = 0; i < 200 && game_.Queued() > 0; ++i) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(Lines().empty()) << "a job ran the game after the server stopped";

  Start();
  Client again(port_);
  ASSERT_TRUE(again.Authenticate());
  again.Send(1, Rcon::ExecRequest, "echo restarted");
  ExpectPacket(again.Read(), 1, 0, "restarted");
}

// ---- Limits ----------------------------------------------------------------------------------

// The reply a request must get: a split reply of the test game's pattern, an end marker or an
// authentication answer.
void ExpectAnswer(Client& c, const Rcon::Packet& request) {
  if (request.type == Rcon::ResponseValue)
    return ExpectPacket(c.Read(), request.id, Rcon::ResponseValue, "");
  if (request.type == Rcon::AuthRequest)
    return ExpectPacket(c.Read(), request.id, Rcon::AuthAnswer, "");
  const std::size_t length = std::stoul(request.body.substr(4));
  std::string joined;
  while (joined.size() < length) {
    auto p = c.Read();
    ASSERT_TRUE(p) << "reply to " << request.id << " cut short at " << joined.size();
    ASSERT_EQ(p->id, request.id);
    joined += p->body;
  }
  EXPECT_TRUE(joined == Pattern(length)) << "reply to " << request.id;
}

constexpr std::int32_t HugeReplyCount = 32;

std::vector<Rcon::Packet> HugeReplies(bool with_markers_and_reauth) {
  std::vector<Rcon::Packet> requests;
  for (std::int32_t id = 1; id <= HugeReplyCount; ++id) {
    requests.push_back({id, Rcon::ExecRequest, "big 1000000"});
    if (with_markers_and_reauth)
      requests.push_back(id % 2 ? Rcon::Packet{-id, Rcon::ResponseValue, ""}
                                : Rcon::Packet{-id, Rcon::AuthRequest, Password});
  }
  return requests;
}

// A client that asks for far more than the kernel's socket buffers hold and reads nothing: the
// server must stop running its requests, not queue their replies.
TEST_F(RconServer, AClientThatDoesNotReadStopsItsOwnRequests) {
  for (bool with_markers_and_reauth : {false, true}) {
    SCOPED_TRACE(with_markers_and_reauth ? "between markers and reauthentication" : "alone");
    const std::vector<Rcon::Packet> requests = HugeReplies(with_markers_and_reauth);
    const std::size_t before = Lines().size();
    Client c(port_);
    ASSERT_TRUE(c.Authenticate());
    std::vector<Bytes> packets;
    for (const Rcon::Packet& r : requests) packets.push_back(Rcon::Encode(r.id, r.type, r.body));
    c.Send(Join(packets));
    std::this_thread::sleep_for(500ms);
    EXPECT_LE(Lines().size() - before, 16u) << "requests ran while their replies could not leave";
    for (const Rcon::Packet& r : requests) {
      ExpectAnswer(c, r);
      if (HasFatalFailure()) return;
    }
    EXPECT_EQ(Lines().size() - before, std::size_t{HugeReplyCount});
  }
}

Bytes Auth(std::int32_t id) { return Rcon::Encode(id, Rcon::AuthRequest, Password); }
Bytes Echo(std::int32_t id) {
  return Rcon::Encode(id, Rcon::ExecRequest, "echo " + std::to_string(id));
}
Bytes EchoRange(std::int32_t first, std::int32_t last) {
  std::vector<Bytes> packets;
  for (std::int32_t id = first; id <= last; ++id) packets.push_back(Echo(id));
  return Join(packets);
}
std::vector<std::int32_t> Ids(std::initializer_list<std::int32_t> ids, std::int32_t first = 0,
                              std::int32_t last = -1) {
  std::vector<std::int32_t> out(ids);
  for (std::int32_t id = first; id <= last; ++id) out.push_back(id);
  return out;
}

// Connects until the server takes the connection: a slot it frees is seen a moment later.
bool ServedWithin(std::uint16_t port, std::chrono::milliseconds limit) {
  for (auto until = std::chrono::steady_clock::now() + limit;
       std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms)) {
    Client c(port);
    if (!c.Authenticate(77)) continue;
    c.Send(Echo(78));
    auto p = c.Read();
    return p && p->id == 78 && p->body == "78";
  }
  return false;
}

struct Step {
  Bytes bytes;
  std::chrono::milliseconds then_wait{0};
  bool release_game_first = false;
};

struct DeadlineCase {
  const char* name;
  bool hold_game;
  std::vector<Step> steps;
  std::vector<std::int32_t> answered;  // reply ids in order: 1 authentication, else echoes
  bool closed;                         // else the connection still answers afterwards
};

TEST_F(RconServer, DeadlinesCloseOnlyStalledOrUnauthenticatedConnections) {
  const Bytes auth = Auth(1);
  const Bytes echo = Echo(200);
  const Bytes burst = EchoRange(100, 171);
  const std::size_t half = burst.size() - 13;
  const std::vector<DeadlineCase> cases = {
      {"NeverAuthenticates", false, {{{}, 0ms}}, {}, true},
      {"AuthenticationTrickledPastItsDeadline",
       false,
       {{Slice(auth, 0, 5), 200ms},
        {Slice(auth, 5, 10), 200ms},
        {Slice(auth, 10, 15), 200ms},
        {Slice(auth, 15)}},
       {},
       true},
      {"StallsMidPacket", false, {{auth}, {Slice(echo, 0, 9)}}, {1}, true},
      {"IdleAfterAuthenticating", false, {{auth, 600ms}}, {1}, false},
      {"SlowButSteadyPacket",
       false,
       {{auth},
        {Slice(echo, 0, 5), 150ms},
        {Slice(echo, 5, 10), 150ms},
        {Slice(echo, 10, 15), 150ms},
        {Slice(echo, 15)}},
       {1, 200},
       false},
      // The game holds the first echo, 64 more wait, and the server stops reading in the middle
      // of a packet: that pause is ours, not the client's.
      {"PausedByTheServerIsNoStall",
       true,
       {{auth},
        {Slice(burst, 0, 9), 50ms},
        {Slice(burst, 9, half), 600ms},
        {Slice(burst, half), 0ms, true}},
       Ids({1}, 100, 171),
       false},
  };
  for (const DeadlineCase& k : cases) {
    SCOPED_TRACE(k.name);
    game_.Pause(k.hold_game);
    Client c(port_);
    for (const Step& step : k.steps) {
      if (step.release_game_first) game_.Pause(false);
      c.Send(step.bytes);
      std::this_thread::sleep_for(step.then_wait);
    }
    game_.Pause(false);
    for (std::int32_t id : k.answered) {
      if (id == 1)
        ExpectPacket(c.Read(), id, Rcon::AuthAnswer, "");
      else
        ExpectPacket(c.Read(), id, 0, std::to_string(id));
      if (HasFatalFailure()) return;
    }
    if (k.closed) {
      EXPECT_TRUE(c.Closed());
    } else {
      c.Send(Echo(999));
      ExpectPacket(c.Read(), 999, 0, "999");
    }
  }
}

struct CapCase {
  const char* name;
  // Which of the connections that take every slot authenticate, by their order of opening.
  bool first_authenticates, rest_authenticate;
};

// Past the cap, the connection that has waited longest without authenticating makes room; only
// when every connection has authenticated is the new one closed. No connection here reaches its
// authentication deadline, so only making room closes one.
TEST_F(RconServer, PastTheCapTheLongestWaitingUnauthenticatedMakesRoom) {
  Rcon::StopServer();
  limits_.auth_deadline = 30s;
  Start();
  for (const CapCase& k :
       {CapCase{"AuthenticatedPanels", true, true}, CapCase{"UnauthenticatedSockets", false, false},
        CapCase{"APanelThenSockets", true, false}}) {
    SCOPED_TRACE(k.name);
    std::vector<std::unique_ptr<Client>> held;
    for (std::size_t i = 0; i < limits_.max_connections; ++i) {
      held.push_back(std::make_unique<Client>(port_));
      if (i == 0 ? k.first_authenticates : k.rest_authenticate) {
        ASSERT_TRUE(held.back()->Authenticate(static_cast<std::int32_t>(i)));
      }
    }
    if (k.first_authenticates && k.rest_authenticate) {
      Client extra(port_);
      extra.Send(Auth(99));
      EXPECT_TRUE(extra.Closed());
    } else {
      // Each newcomer closes the longest waiting of the unauthenticated, in turn.
      std::vector<std::unique_ptr<Client>> newcomers;
      for (std::size_t n = 0; n < 2; ++n) {
        newcomers.push_back(std::make_unique<Client>(port_));
        ASSERT_TRUE(newcomers.back()->Authenticate(99));
        EXPECT_TRUE(held[n + (k.first_authenticates ? 1 : 0)]->Closed()) << "newcomer " << n;
      }
    }
    for (std::size_t i = 0; i < held.size(); ++i) {
      if (i == 0 ? !k.first_authenticates : !k.rest_authenticate) continue;
      const auto id = static_cast<std::int32_t>(i);
      held[i]->Send(Echo(id));
      ExpectPacket(held[i]->Read(), id, 0, std::to_string(id));
    }
    held.pop_back();
    EXPECT_TRUE(ServedWithin(port_, 2s));
  }
}

// Attempts to authenticate, one a letter, each on a connection of its own:
//   w  a wrong password on a connection opened then, from 127.0.0.1;
//   l  the same from another loopback address, a new one each time;
//   W  a wrong password on a connection opened before the first attempt;
//   r  the right password on a connection opened before the first attempt;
//   R  a wrong password again on a connection that authenticated before the first attempt;
//   c  a command before authenticating, on a connection opened then;
//   .  a pause longer than the window in which failures count.
// What each attempt gets, one a letter: "-" the refusal answer, "x" the connection closed with
// no answer.
struct RefusalCase {
  const char* name;
  std::string attempts;
  std::string answers;
  bool refused;
};

TEST_F(RconServer, RepeatedFailuresRefuseTheAddressForAWhile) {
  const std::string line =
      "RCON: loopback (127.0.0.0/8 and ::1) refused for 0.5 s after 10 failed authentications";
  const std::vector<RefusalCase> cases = {
      {"NineWrongPasswords", "wwwwwwwww", "---------", false},
      {"TenWrongPasswords", "wwwwwwwwww", "----------", true},
      {"TenWrongReauthentications", "RRRRRRRRRR", "----------", true},
      {"TenSpreadWiderThanTheWindow", "wwwww.wwwww", "----------", false},
      {"TenCommandsBeforeAuthenticating", "cccccccccc", "----------", false},
      {"TenFromAcrossLoopback", "llllllllll", "----------", true},
      // An answer to a guess on a connection accepted before the refusal, of either kind, would
      // tell whether it was right: they get none.
      {"GuessesOnConnectionsOpenedBefore", "WWWWWWWWWWWWRR", "----------xxxx", true},
      {"TheRightPasswordAfterTheRefusal", "WWWWWWWWWWr", "----------x", true},
  };
  for (const RefusalCase& k : cases) {
    SCOPED_TRACE(k.name);
    Rcon::StopServer();
    {
      std::lock_guard lock(mutex_);
      warnings_.clear();
    }
    Start();
    Client bystander(port_);
    ASSERT_TRUE(bystander.Authenticate());
    std::vector<std::unique_ptr<Client>> opened;
    for (char attempt : k.attempts) {
      if (attempt == 'W' || attempt == 'r' || attempt == 'R')
        opened.push_back(std::make_unique<Client>(port_));
      if (attempt == 'R') {
        ASSERT_TRUE(opened.back()->Authenticate(5));
      }
    }
    std::size_t answer = 0, next_opened = 0;
    for (char attempt : k.attempts) {
      if (attempt == '.') {
        std::this_thread::sleep_for(limits_.failure_window + 200ms);
        continue;
      }
      std::unique_ptr<Client> c;
      if (attempt == 'W' || attempt == 'r' || attempt == 'R')
        c = std::move(opened[next_opened++]);
      else
        c = std::make_unique<Client>(port_,
                                     attempt == 'l' ? "127.0.1." + std::to_string(answer + 2) : "");
      if (attempt == 'c')
        c->Send(6, Rcon::ExecRequest, "echo sneaky");
      else
        c->Send(6, Rcon::AuthRequest, attempt == 'r' ? Password : "wrong");
      if (k.answers[answer++] == '-')
        ExpectPacket(c->Read(), Rcon::RefusedId, Rcon::AuthAnswer, "");
      EXPECT_TRUE(c->Closed()) << "attempt " << answer;
      if (HasFatalFailure()) return;
    }
    if (k.refused) {
      for (const char* from : {"", "127.0.0.1", "127.200.0.9"}) {
        Client refused(port_, from);
        refused.Send(Auth(7));
        EXPECT_TRUE(refused.Closed()) << "from " << from << " during the refusal";
      }
      for (int i = 0; i < 200 && Warnings().empty(); ++i) std::this_thread::sleep_for(10ms);
      bystander.Send(Echo(8));
      ExpectPacket(bystander.Read(), 8, 0, "8");
      std::this_thread::sleep_for(limits_.refusal_period);
    }
    EXPECT_TRUE(ServedWithin(port_, 1s));
    EXPECT_EQ(Warnings(), k.refused ? std::vector<std::string>{line} : std::vector<std::string>{});
  }
  EXPECT_FALSE(off_game_thread_);
}

TEST(RconServerStart, ABusyPortThrows) {
  auto ignore = [](std::int32_t, const std::string&) { return std::vector<RconReply>{}; };
  auto drop = [](std::function<void()>) {};
  const std::uint16_t port = Rcon::StartServer(0, Password, ignore, drop);
  Rcon::StopServer();
  // Something else holds the port now.
  asio::io_context io;
  asio::ip::tcp::acceptor holder(io);
  asio::error_code ec;
  holder.open(asio::ip::tcp::v4(), ec);
  holder.bind({asio::ip::address_v4::loopback(), port}, ec);
  ASSERT_FALSE(ec) << ec.message();
  holder.listen(1, ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_THROW(Rcon::StartServer(port, Password, ignore, drop), std::system_error);
  holder.close();
  Rcon::StopServer();
}

}  // namespace
