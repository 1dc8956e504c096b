// The sandbox's RCON listener: Valve's Source RCON protocol over TCP on 127.0.0.1, served by one
// I/O thread. Requests are handed to the game's thread, one at a time and in order, and their
// replies go back on the connection they came from.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sandbox/game/Game.h"

namespace Rcon {

// Runs on the game's thread: handles one command line that arrived with the given request id and
// gives the packets that answer it.
using Execute = std::function<std::vector<RconReply>(std::int32_t id, const std::string& line)>;
// Hands a job to the game's thread; jobs run one at a time in the order they were handed over.
using PostToGame = std::function<void(std::function<void()>)>;
// Writes one warning to the host's log. Called through PostToGame, so on the game's thread.
using LogWarning = std::function<void(const std::string& line)>;

// What clients may hold of the server, so that none can exhaust it. The defaults are the
// sandbox's.
struct Limits {
  // From accept; traffic does not extend it.
  std::chrono::milliseconds auth_deadline{10'000};
  // How long a connection may stop in the middle of a packet while we are reading it.
  std::chrono::milliseconds stall_deadline{10'000};
  // Past this, a new connection closes the one that has waited longest without authenticating,
  // or, when every one has authenticated, is closed itself.
  std::size_t max_connections = 64;
  // Past this, a connection is not read and none of its requests runs until its client has read.
  std::size_t max_queued_output = 1 << 20;
  // This many failed authentications from one address within failure_window refuse that address
  // for refusal_period. Every loopback address counts as one.
  std::size_t max_failures = 10;
  std::chrono::milliseconds failure_window{30'000};
  std::chrono::milliseconds refusal_period{60'000};
};

// Starts listening on 127.0.0.1:port (0 picks a free port) and gives the port bound. Throws
// std::system_error when the port cannot be bound.
std::uint16_t StartServer(std::uint16_t port, std::string password, Execute execute,
                          PostToGame post, LogWarning warn = {}, Limits limits = {});
// Closes every connection and the listener, and joins the I/O thread.
void StopServer();

}  // namespace Rcon
