// An RCON client of a server on 127.0.0.1 that reads whole packets, for tests that play the client
// packet by packet. Framed with the sandbox's own encoder and decoder: tests/rcon_packet_test.cpp
// holds both to the wire format byte by byte, so a fault in them cannot hide here.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox/rcon/Packet.h"
#include "tests/support/TcpClient.h"

class RconClient {
 public:
  // Each connect, send and receive waits at most deadline; source as for TcpClient.
  RconClient(std::uint16_t port, std::chrono::milliseconds deadline,
             const std::string& source = "");

  bool Connected() const { return tcp_.Connected(); }
  // Why the last connect, send or read failed.
  const std::string& why() const { return why_; }

  bool Send(std::span<const std::uint8_t> bytes);
  bool Send(std::int32_t id, std::int32_t type, std::string_view body);
  void ShutdownSend() { tcp_.ShutdownSend(); }

  // The next packet; nothing when the connection ends, the deadline passes first, or a packet is
  // framed otherwise than the server frames its replies (both zero bytes, no zero in the body).
  std::optional<Rcon::Packet> Read();
  // True when the server ended the connection (end of stream or reset) with nothing more sent.
  bool Closed();
  // Authenticates with the request id; true when the answer accepts.
  bool Authenticate(std::string_view password, std::int32_t id);

 private:
  TcpClient tcp_;
  std::chrono::milliseconds deadline_;
  std::vector<std::uint8_t> input_;
  std::string why_;
};
