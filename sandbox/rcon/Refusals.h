// Failed authentications counted per address, and the refusals they earn: the part of the RCON
// listener's limits that outlives a connection. The listener's I/O thread alone uses it.
#pragma once

#include <asio/ip/address.hpp>
#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <string>

#include "sandbox/rcon/Server.h"

namespace Rcon {

// Whom failures count against. A loopback listener is reached from every address of 127.0.0.0/8
// (and ::1), each of which a local client can bind: they are one address, or binding a fresh one
// would give a fresh count.
asio::ip::address Counted(const asio::ip::address& address);
// The host log line for an address's refusal.
std::string RefusalLine(const asio::ip::address& counted, const Limits& limits);

struct Refusals {
  using Clock = std::chrono::steady_clock;
  // Failures within the window, and until when the address is refused.
  struct Record {
    std::deque<Clock::time_point> failures;
    Clock::time_point refused_until{};
  };
  std::map<asio::ip::address, Record> records;
  // Stale records are swept only once the table has doubled since the last sweep, so a sweep
  // costs each new address a constant share of it and none walks it per connection.
  static constexpr std::size_t FirstSweepAt = 64;
  std::size_t sweep_at = FirstSweepAt;
};

bool IsRefused(const Refusals& refusals, const asio::ip::address& counted);
// Counts a failed authentication; true when it makes the address refused.
bool CountFailure(Refusals& refusals, const asio::ip::address& counted, const Limits& limits);

}  // namespace Rcon
