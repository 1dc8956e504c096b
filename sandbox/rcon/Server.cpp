// One I/O thread owns the listener and every connection, so connection state needs no locks. The
// game's thread sees only jobs: each holds the shared server state (to post its replies back) and
// a weak reference to its connection, which it never touches itself.
//
// A connection has at most one request on the game's thread at a time, and the next is handed over
// only once the reply before it is queued and the queued output is below the bound. A reply's size
// is known only once the game has run the request, so this is what keeps a connection's output
// within the bound plus one reply, and its answers in request order.
#include "sandbox/rcon/Server.h"

#include <array>
#include <asio.hpp>
#include <atomic>
#include <cstdio>
#include <deque>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>
#include <utility>

#include "sandbox/rcon/Listen.h"
#include "sandbox/rcon/Packet.h"
#include "sandbox/rcon/Refusals.h"

namespace Rcon {

namespace {

using asio::ip::tcp;
using Clock = asio::steady_timer::clock_type;

// Decoded requests that wait for their turn; past this a connection is not read further.
constexpr std::size_t MaxWaitingRequests = 64;

class Connection;

// Outlives StopServer while a queued game job still holds it, so that a job finishing late can
// still post into the (then idle) I/O context; what it posts is simply never run.
struct Shared {
  asio::io_context io{1};
  tcp::acceptor acceptor{io};
  asio::steady_timer accept_retry{io};
  std::string password;
  Execute execute;
  PostToGame post;
  LogWarning warn;
  Limits limits;
  std::atomic<bool> stopping{false};
  // I/O thread only, all three.
  std::set<std::shared_ptr<Connection>> connections;
  // The connections that have not authenticated, longest waiting first.
  std::list<Connection*> unauthenticated;
  Refusals refusals;
};

std::vector<RconReply> RunExecute(Shared& shared, std::int32_t id, const std::string& line) {
  try {
    return shared.execute(id, line);
  } catch (const std::exception& e) {
    // The game's loop must go on; the client learns why it got nothing useful.
    return {RconReply{id, ResponseValue, std::string("error: ") + e.what()}};
  }
}

// One host log line for a refusal, written on the game's thread.
void LogRefusal(const Shared& shared, const asio::ip::address& counted) {
  if (!shared.warn) return;
  shared.post([warn = shared.warn, line = RefusalLine(counted, shared.limits)] { warn(line); });
}

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(std::shared_ptr<Shared> shared, tcp::socket socket, asio::ip::address counted)
      : shared_(std::move(shared)),
        socket_(std::move(socket)),
        counted_(std::move(counted)),
        auth_deadline_(shared_->io),
        stall_deadline_(shared_->io) {}

  void Start() {
    unauthenticated_at_ = shared_->unauthenticated.insert(shared_->unauthenticated.end(), this);
    Arm(auth_deadline_, shared_->limits.auth_deadline);
    Read();
  }

  void Close() {
    if (closed_) return;
    closed_ = true;
    LeaveUnauthenticated();
    asio::error_code ignored;
    socket_.close(ignored);
    auth_deadline_.cancel();
    stall_deadline_.cancel();
    shared_->connections.erase(shared_from_this());
  }

 private:
  // Once ending, no further request is read. A client that hung up at a packet boundary still
  // gets what it asked for; a refused one gets its answer, then an orderly close.
  enum class Ending { None, AfterReplies, Refused };

  // A deadline that closes the connection when it passes. A wait that was already due when the
  // deadline moved finds it moved and does nothing.
  void Arm(asio::steady_timer& deadline, std::chrono::milliseconds after) {
    deadline.expires_after(after);
    deadline.async_wait([self = shared_from_this(), &deadline](asio::error_code ec) {
      if (!ec && !self->closed_ && deadline.expiry() <= Clock::now()) self->Close();
    });
  }

  static void Disarm(asio::steady_timer& deadline) {
    if (deadline.expiry() != Clock::time_point::max())
      deadline.expires_at(Clock::time_point::max());
  }

  void Read() {
    reading_ = true;
    // A stall counts only in the middle of a packet, and from the last bytes that came.
    if (input_.empty())
      Disarm(stall_deadline_);
    else
      Arm(stall_deadline_, shared_->limits.stall_deadline);
    socket_.async_read_some(asio::buffer(chunk_),
                            [self = shared_from_this()](asio::error_code ec, std::size_t n) {
                              self->reading_ = false;
                              self->OnRead(ec, n);
                            });
  }

  void OnRead(asio::error_code ec, std::size_t n) {
    if (closed_) return;
    if (ec) {
      if (ec != asio::error::eof || !input_.empty()) return Close();
      eof_ = true;
      ending_ = Ending::AfterReplies;
      Disarm(stall_deadline_);
      return MaybeFinish();
    }
    input_.insert(input_.end(), chunk_.begin(), chunk_.begin() + static_cast<std::ptrdiff_t>(n));
    Process();
  }

  bool Paused() const {
    return waiting_.size() >= MaxWaitingRequests ||
           output_bytes_ >= shared_->limits.max_queued_output;
  }

  bool CanRead() const { return !closed_ && !reading_ && !eof_ && ending_ == Ending::None; }

  // Decodes what has come as far as the bounds allow, then reads on if they still allow.
  void Process() {
    std::size_t at = 0;
    while (!closed_ && ending_ == Ending::None && !Paused()) {
      Decoded d = Decode(std::span(input_).subspan(at));
      if (d.status == DecodeStatus::NeedMore) break;
      if (d.status == DecodeStatus::Bad) return Close();
      at += d.consumed;
      Handle(std::move(d.packet));
    }
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(at));
    if (CanRead() && !Paused()) return Read();
    // Not reading because of our own bounds is no stall of the client's.
    Disarm(stall_deadline_);
  }

  void Resume() {
    if (CanRead() && !Paused()) Process();
  }

  void Handle(Packet packet) {
    if (authenticated_) {
      waiting_.push_back(std::move(packet));
      return Pump();
    }
    // Anything but an authentication first is refused, and counts as no guess.
    if (packet.type != AuthRequest) return Refuse();
    authenticated_ = Authenticate(packet);
    if (!authenticated_) return;
    Disarm(auth_deadline_);
    LeaveUnauthenticated();
  }

  // Answers an authentication, the first or a later one: the right password is acknowledged, a
  // wrong one counted against the address and refused. While the address is refused, a guess
  // gets no answer at all, on connections accepted before the refusal too: an answer, either
  // way, would tell whether it was right.
  bool Authenticate(const Packet& packet) {
    const bool right = packet.body == shared_->password;
    if (IsRefused(shared_->refusals, counted_) && !(right && authenticated_)) {
      Close();
      return false;
    }
    if (right) {
      Queue(Encode(packet.id, AuthAnswer, ""));
      return true;
    }
    if (CountFailure(shared_->refusals, counted_, shared_->limits)) LogRefusal(*shared_, counted_);
    Refuse();
    return false;
  }

  void LeaveUnauthenticated() {
    if (!unauthenticated_at_) return;
    shared_->unauthenticated.erase(*unauthenticated_at_);
    unauthenticated_at_.reset();
  }

  void Refuse() {
    Queue(Encode(RefusedId, AuthAnswer, ""));
    ending_ = Ending::Refused;
    waiting_.clear();
  }

  // Answers waiting requests in order, as long as none is on the game's thread and the output
  // is within its bound.
  void Pump() {
    while (!closed_ && !busy_ && !waiting_.empty() &&
           output_bytes_ < shared_->limits.max_queued_output) {
      Packet packet = std::move(waiting_.front());
      waiting_.pop_front();
      switch (packet.type) {
        case ExecRequest:
          ToGame(packet.id, std::move(packet.body));
          break;
        case ResponseValue:
          Queue(Encode(packet.id, ResponseValue, ""));
          break;
        case AuthRequest:
          if (!Authenticate(packet)) return;
          break;
        default:
          // No client asks anything else of a server; answering would only invent a meaning.
          break;
      }
    }
  }

  void ToGame(std::int32_t id, std::string line) {
    busy_ = true;
    shared_->post([shared = shared_, weak = weak_from_this(), id, line = std::move(line)] {
      if (shared->stopping) return;
      std::vector<RconReply> replies = RunExecute(*shared, id, line);
      asio::post(shared->io, [weak, replies = std::move(replies)] {
        if (auto self = weak.lock()) self->Deliver(replies);
      });
    });
  }

  void Deliver(const std::vector<RconReply>& replies) {
    busy_ = false;
    if (closed_) return;
    for (const RconReply& reply : replies)
      for (std::string_view body : SplitBody(reply.text)) Queue(Encode(reply.id, reply.type, body));
    Pump();
    Resume();
    MaybeFinish();
  }

  void Queue(std::vector<std::uint8_t> packet) {
    output_bytes_ += packet.size();
    output_.push_back(std::move(packet));
    if (!writing_) Write();
  }

  // One packet per write: some clients take each chunk they receive for one packet.
  void Write() {
    writing_ = true;
    asio::async_write(socket_, asio::buffer(output_.front()),
                      [self = shared_from_this()](asio::error_code ec, std::size_t) {
                        self->writing_ = false;
                        if (self->closed_) return;
                        if (ec) return self->Close();
                        self->output_bytes_ -= self->output_.front().size();
                        self->output_.pop_front();
                        if (!self->output_.empty()) self->Write();
                        self->Pump();
                        self->Resume();
                        self->MaybeFinish();
                      });
  }

  void MaybeFinish() {
    if (closed_ || ending_ == Ending::None || busy_ || !waiting_.empty() || writing_ ||
        !output_.empty())
      return;
    if (ending_ == Ending::AfterReplies || eof_) return Close();
    // Closing with unread input would reset the connection and could destroy the refusal before
    // the client reads it; so stop sending and wait for the client to hang up, but not for long.
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    Arm(stall_deadline_, shared_->limits.stall_deadline);
    Discard();
  }

  void Discard() {
    socket_.async_read_some(asio::buffer(chunk_),
                            [self = shared_from_this()](asio::error_code ec, std::size_t) {
                              if (self->closed_) return;
                              if (ec) return self->Close();
                              self->Discard();
                            });
  }

  std::shared_ptr<Shared> shared_;
  tcp::socket socket_;
  asio::ip::address counted_;
  // Where it stands among the unauthenticated, while it is one of them.
  std::optional<std::list<Connection*>::iterator> unauthenticated_at_;
  asio::steady_timer auth_deadline_;
  asio::steady_timer stall_deadline_;
  std::array<std::uint8_t, 8192> chunk_{};
  std::vector<std::uint8_t> input_;
  std::deque<Packet> waiting_;
  std::deque<std::vector<std::uint8_t>> output_;
  std::size_t output_bytes_ = 0;
  bool busy_ = false;  // a request of ours is on the game's thread
  bool authenticated_ = false;
  bool reading_ = false;
  bool writing_ = false;
  bool eof_ = false;
  bool closed_ = false;
  Ending ending_ = Ending::None;
};

void Accept(const std::shared_ptr<Shared>& shared) {
  shared->acceptor.async_accept([shared](asio::error_code ec, tcp::socket socket) {
    if (!shared->acceptor.is_open()) return;
    if (ec) {
      // Out of descriptors, most likely: try again shortly instead of spinning.
      shared->accept_retry.expires_after(std::chrono::milliseconds(100));
      shared->accept_retry.async_wait([shared](asio::error_code wait_ec) {
        if (!wait_ec) Accept(shared);
      });
      return;
    }
    asio::error_code ignored, gone;
    const tcp::endpoint peer = socket.remote_endpoint(gone);
    const asio::ip::address counted = Counted(peer.address());
    // Closed before anything is read or written: a connection from a refused address, or past
    // the cap when every connection has authenticated, costs no more than its accept.
    if (gone || IsRefused(shared->refusals, counted)) {
      socket.close(ignored);
      return Accept(shared);
    }
    // Past the cap, the connection that has waited longest without authenticating makes room, so
    // that idle connections cannot keep an administrator out.
    if (shared->connections.size() >= shared->limits.max_connections) {
      if (shared->unauthenticated.empty()) {
        socket.close(ignored);
        return Accept(shared);
      }
      shared->unauthenticated.front()->Close();
    }
    socket.set_option(tcp::no_delay(true), ignored);
    auto connection = std::make_shared<Connection>(shared, std::move(socket), counted);
    shared->connections.insert(connection);
    connection->Start();
    Accept(shared);
  });
}

struct Running {
  std::shared_ptr<Shared> shared;
  asio::executor_work_guard<asio::io_context::executor_type> work;
  std::thread thread;
};

std::mutex running_mutex;
std::unique_ptr<Running> running;

}  // namespace

std::uint16_t StartServer(std::uint16_t port, std::string password, Execute execute,
                          PostToGame post, LogWarning warn, Limits limits) {
  std::lock_guard lock(running_mutex);
  if (running) throw std::logic_error("RCON is already listening");
  auto shared = std::make_shared<Shared>();
  shared->password = std::move(password);
  shared->execute = std::move(execute);
  shared->post = std::move(post);
  shared->warn = std::move(warn);
  shared->limits = limits;

  const tcp::endpoint endpoint(asio::ip::address_v4::loopback(), port);
  shared->acceptor.open(endpoint.protocol());
  KeepPortToItself(shared->acceptor);
  shared->acceptor.bind(endpoint);
  shared->acceptor.listen();
  const std::uint16_t bound = shared->acceptor.local_endpoint().port();
  Accept(shared);

  running =
      std::make_unique<Running>(Running{shared, asio::make_work_guard(shared->io), std::thread()});
  running->thread = std::thread([io = &shared->io] {
    for (;;) {
      try {
        io->run();
        return;
      } catch (const std::exception& e) {
        std::fprintf(stderr, "nestkeep-sandbox: RCON: %s\n", e.what());
      }
    }
  });
  return bound;
}

void StopServer() {
  std::lock_guard lock(running_mutex);
  if (!running) return;
  const std::shared_ptr<Shared> shared = running->shared;
  shared->stopping = true;
  asio::post(shared->io, [shared] {
    asio::error_code ignored;
    shared->acceptor.close(ignored);
    shared->accept_retry.cancel();
    for (const auto& connection : std::set(shared->connections)) connection->Close();
  });
  // With the listener and every socket closed, their pending operations finish as cancelled and
  // the I/O context runs out of work by itself.
  running->work.reset();
  running->thread.join();
  running.reset();
}

}  // namespace Rcon
