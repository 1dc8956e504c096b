#include "sandbox/rcon/Refusals.h"

#include <algorithm>
#include <cstdio>

namespace Rcon {

namespace {

// Drops the records that no longer count for anything.
void ForgetStale(Refusals& refusals, const Limits& limits, Refusals::Clock::time_point now) {
  std::erase_if(refusals.records, [&](const auto& entry) {
    const Refusals::Record& record = entry.second;
    return now >= record.refused_until &&
           (record.failures.empty() || now - record.failures.back() >= limits.failure_window);
  });
  refusals.sweep_at = std::max(Refusals::FirstSweepAt, 2 * refusals.records.size());
}

// A counted address as the log shows it.
std::string Shown(const asio::ip::address& counted) {
  return counted == asio::ip::address(asio::ip::address_v4::loopback())
             ? "loopback (127.0.0.0/8 and ::1)"
             : counted.to_string();
}

std::string Seconds(std::chrono::milliseconds duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", static_cast<double>(duration.count()) / 1000);
  return text;
}

}  // namespace

asio::ip::address Counted(const asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped())
    return Counted(asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()));
  if (address.is_loopback()) return asio::ip::address_v4::loopback();
  return address;
}

std::string RefusalLine(const asio::ip::address& counted, const Limits& limits) {
  return "RCON: " + Shown(counted) + " refused for " + Seconds(limits.refusal_period) + " after " +
         std::to_string(limits.max_failures) + " failed authentications";
}

bool IsRefused(const Refusals& refusals, const asio::ip::address& counted) {
  const auto it = refusals.records.find(counted);
  return it != refusals.records.end() && Refusals::Clock::now() < it->second.refused_until;
}

bool CountFailure(Refusals& refusals, const asio::ip::address& counted, const Limits& limits) {
  const Refusals::Clock::time_point now = Refusals::Clock::now();
  if (!refusals.records.contains(counted) && refusals.records.size() >= refusals.sweep_at)
    ForgetStale(refusals, limits, now);
  Refusals::Record& record = refusals.records[counted];
  while (!record.failures.empty() && now - record.failures.front() >= limits.failure_window)
    record.failures.pop_front();
  record.failures.push_back(now);
  if (record.failures.size() < limits.max_failures) return false;
  record.failures.clear();
  record.refused_until = now + limits.refusal_period;
  return true;
}

}  // namespace Rcon
