// A TCP client of a server on 127.0.0.1, for tests that play the client byte by byte; through Asio,
// which serves every platform. Every wait ends at a deadline, so that a missing reply fails a test
// instead of hanging it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TcpClient {
 public:
  // Connects with Nagle's delay off, from the loopback address source when one is given; each
  // connect, send and receive waits at most deadline.
  TcpClient(std::uint16_t port, std::chrono::milliseconds deadline, const std::string& source = "");
  ~TcpClient();
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  bool Connected() const { return connected_; }
  // Why the last connect, send or receive failed.
  const std::string& why() const { return why_; }

  // Sends every byte; false when the connection fails or the deadline passes first.
  bool Send(const void* bytes, std::size_t size);
  void ShutdownSend();

  enum class End { None, Closed, TimedOut, Failed };
  struct Received {
    std::size_t size = 0;  // bytes that came, none when the wait ended otherwise
    End end = End::None;   // Closed: the server ended the stream or reset the connection
  };
  // Waits for what comes next, up to size bytes.
  Received Receive(void* buffer, std::size_t size);

 private:
  struct Io;
  std::unique_ptr<Io> io_;
  std::chrono::milliseconds deadline_;
  bool connected_ = false;
  std::string why_;
};
