#include "tests/support/TcpClient.h"

#include <asio.hpp>
#include <optional>

// A context of its own, run only while one of this client's operations waits: clients on
// different threads share nothing.
struct TcpClient::Io {
  asio::io_context context{1};
  asio::ip::tcp::socket socket{context};
};

namespace {

// Runs the one operation that start begins until it completes or the deadline passes, when it is
// cancelled. What it ended with; asio::error::timed_out for the deadline.
template <class Start>
asio::error_code Await(asio::io_context& context, asio::ip::tcp::socket& socket,
                       std::chrono::milliseconds deadline, std::size_t& transferred, Start start) {
  std::optional<asio::error_code> result;
  start([&](asio::error_code ec, std::size_t n) {
    result = ec;
    transferred = n;
  });
  context.restart();
  context.run_for(deadline);
  if (result) return *result;
  asio::error_code ignored;
  socket.cancel(ignored);
  context.restart();
  context.run();
  // It may have completed just before the cancel reached it.
  return *result == asio::error::operation_aborted ? asio::error::timed_out : *result;
}

}  // namespace

TcpClient::TcpClient(std::uint16_t port, std::chrono::milliseconds deadline,
                     const std::string& source)
    : io_(std::make_unique<Io>()), deadline_(deadline) {
  const asio::ip::tcp::endpoint server(asio::ip::address_v4::loopback(), port);
  if (!source.empty()) {
    asio::error_code ec;
    const asio::ip::address from = asio::ip::make_address(source, ec);
    if (!ec) io_->socket.open(server.protocol(), ec);
    if (!ec) io_->socket.bind(asio::ip::tcp::endpoint(from, 0), ec);
    if (ec) {
      why_ = "bind " + source + ": " + ec.message();
      return;
    }
  }
  std::size_t unused = 0;
  const asio::error_code ec = Await(io_->context, io_->socket, deadline_, unused, [&](auto done) {
    io_->socket.async_connect(server, [done](asio::error_code e) mutable { done(e, 0); });
  });
  if (ec) {
    why_ = "connect: " + ec.message();
    return;
  }
  asio::error_code ignored;
  io_->socket.set_option(asio::ip::tcp::no_delay(true), ignored);
  connected_ = true;
}

TcpClient::~TcpClient() = default;

bool TcpClient::Send(const void* bytes, std::size_t size) {
  std::size_t sent = 0;
  const asio::error_code ec = Await(io_->context, io_->socket, deadline_, sent, [&](auto done) {
    asio::async_write(io_->socket, asio::buffer(bytes, size), done);
  });
  if (ec) why_ = "send: " + ec.message();
  return !ec;
}

void TcpClient::ShutdownSend() {
  asio::error_code ignored;
  io_->socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
}

TcpClient::Received TcpClient::Receive(void* buffer, std::size_t size) {
  Received received;
  const asio::error_code ec =
      Await(io_->context, io_->socket, deadline_, received.size,
            [&](auto done) { io_->socket.async_read_some(asio::buffer(buffer, size), done); });
  if (!ec) return received;
  received.size = 0;
  why_ = "receive: " + ec.message();
  if (ec == asio::error::eof || ec == asio::error::connection_reset)
    received.end = End::Closed;
  else if (ec == asio::error::timed_out)
    received.end = End::TimedOut;
  else
    received.end = End::Failed;
  return received;
}
