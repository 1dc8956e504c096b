#include "tests/support/RconClient.h"

RconClient::RconClient(std::uint16_t port, std::chrono::milliseconds deadline,
                       const std::string& source)
    : tcp_(port, deadline, source), deadline_(deadline), why_(tcp_.why()) {}

bool RconClient::Send(std::span<const std::uint8_t> bytes) {
  if (tcp_.Send(bytes.data(), bytes.size())) return true;
  why_ = tcp_.why();
  return false;
}

bool RconClient::Send(std::int32_t id, std::int32_t type, std::string_view body) {
  return Send(Rcon::Encode(id, type, body));
}

std::optional<Rcon::Packet> RconClient::Read() {
  for (;;) {
    Rcon::Decoded d = Rcon::Decode(input_);
    if (d.status == Rcon::DecodeStatus::Complete) {
      // The decoder also takes a client's single zero byte, or text after a zero; no reply of ours
      // has either.
      if (d.consumed != Rcon::SizeField + Rcon::MinSize + d.packet.body.size()) {
        why_ = "a packet of " + std::to_string(d.consumed) + " bytes with a body of " +
               std::to_string(d.packet.body.size());
        return std::nullopt;
      }
      input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(d.consumed));
      return std::move(d.packet);
    }
    if (d.status == Rcon::DecodeStatus::Bad) {
      why_ = "a packet the decoder refuses";
      return std::nullopt;
    }
    std::uint8_t chunk[8192];
    const TcpClient::Received got = tcp_.Receive(chunk, sizeof chunk);
    switch (got.end) {
      case TcpClient::End::None:
        input_.insert(input_.end(), chunk, chunk + got.size);
        continue;
      case TcpClient::End::Closed:
        why_ = "the connection closed";
        break;
      case TcpClient::End::TimedOut:
        why_ = "nothing within " + std::to_string(deadline_.count()) + " ms";
        break;
      case TcpClient::End::Failed:
        why_ = tcp_.why();
        break;
    }
    return std::nullopt;
  }
}

bool RconClient::Closed() {
  if (!input_.empty()) return false;
  std::uint8_t byte;
  return tcp_.Receive(&byte, 1).end == TcpClient::End::Closed;
}

bool RconClient::Authenticate(std::string_view password, std::int32_t id) {
  if (!Send(id, Rcon::AuthRequest, password)) return false;
  const std::optional<Rcon::Packet> answer = Read();
  return answer && answer->id == id && answer->type == Rcon::AuthAnswer;
}
