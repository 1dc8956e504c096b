// The RCON decoder over arbitrary byte streams: the stream decoded in one piece and the same
// stream arriving in pieces, buffered the way a connection buffers its input, give the same
// packets and end the same way; and every packet decoded encodes to bytes that decode back to it.
//
// Input: the first byte gives how many of the following bytes choose piece lengths (cycled
// through); the rest is the stream.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sandbox/rcon/Packet.h"

namespace {

using Rcon::DecodeStatus;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "rcon decoder: %s\n", what);
  std::abort();
}

struct Outcome {
  std::vector<Rcon::Packet> packets;
  bool bad = false;
  std::vector<std::uint8_t> leftover;  // when not bad: the bytes still waiting for more
};

bool Same(const Rcon::Packet& a, const Rcon::Packet& b) {
  return a.id == b.id && a.type == b.type && a.body == b.body;
}

// Decodes from a copy of exactly the bytes given, so that ASan sees any read past their end,
// which a buffer with spare capacity behind its end would hide.
Rcon::Decoded DecodeExact(std::span<const std::uint8_t> bytes) {
  const auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
  const Rcon::Decoded d = Rcon::Decode(std::span<const std::uint8_t>(copy.get(), bytes.size()));
  if (d.status == DecodeStatus::Complete &&
      (d.consumed < Rcon::SizeField + Rcon::MinSize || d.consumed > bytes.size() ||
       d.consumed > Rcon::SizeField + Rcon::MaxSize))
    Fail("a complete packet took more bytes than it was given, or an impossible count");
  if (d.status != DecodeStatus::Complete && d.consumed != 0) Fail("no packet, yet bytes taken");
  return d;
}

void CheckReencodes(const Rcon::Packet& packet) {
  if (packet.body.find('\0') != std::string::npos) Fail("a body holds a zero byte");
  if (packet.body.size() > Rcon::MaxBody) Fail("a body longer than a packet can carry");
  const std::vector<std::uint8_t> bytes = Rcon::Encode(packet.id, packet.type, packet.body);
  const Rcon::Decoded back = DecodeExact(bytes);
  if (back.status != DecodeStatus::Complete || back.consumed != bytes.size() ||
      !Same(back.packet, packet))
    Fail("a decoded packet does not survive encoding");
}

// Takes every complete packet from the front of bytes, as a connection does after each read.
// Gives the bytes used, or nothing when the stream went bad.
std::optional<std::size_t> TakePackets(std::span<const std::uint8_t> bytes,
                                       std::vector<Rcon::Packet>& packets) {
  std::size_t at = 0;
  for (;;) {
    Rcon::Decoded d = DecodeExact(bytes.subspan(at));
    if (d.status == DecodeStatus::Bad) return std::nullopt;
    if (d.status == DecodeStatus::NeedMore) return at;
    at += d.consumed;
    packets.push_back(std::move(d.packet));
  }
}

Outcome DecodeWhole(std::span<const std::uint8_t> stream) {
  Outcome out;
  const std::optional<std::size_t> used = TakePackets(stream, out.packets);
  if (!used) {
    out.bad = true;
    return out;
  }
  out.leftover.assign(stream.begin() + static_cast<std::ptrdiff_t>(*used), stream.end());
  return out;
}

// Piece lengths from 1 byte to a few packets' worth, so that both cuts inside the size field
// and many packets in one piece come up.
std::size_t PieceLength(std::uint8_t choice) {
  if (choice < 0xC0) return std::size_t{choice} % 32 + 1;
  return (std::size_t{choice} - 0xC0) * 256 + 1;
}

Outcome DecodePieces(std::span<const std::uint8_t> stream, std::span<const std::uint8_t> cuts) {
  Outcome out;
  std::vector<std::uint8_t> input;
  std::size_t next_cut = 0;
  while (!stream.empty()) {
    const std::size_t length =
        cuts.empty() ? stream.size() : std::min(stream.size(), PieceLength(cuts[next_cut]));
    if (!cuts.empty()) next_cut = (next_cut + 1) % cuts.size();
    input.insert(input.end(), stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(length));
    stream = stream.subspan(length);

    const std::optional<std::size_t> used = TakePackets(input, out.packets);
    if (!used) {
      out.bad = true;
      return out;
    }
    input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(*used));
  }
  out.leftover = std::move(input);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> all(data, size);
  const std::size_t cut_count = std::min<std::size_t>(all[0] % 16, size - 1);
  const auto cuts = all.subspan(1, cut_count);
  const auto stream = all.subspan(1 + cut_count);

  const Outcome whole = DecodeWhole(stream);
  const Outcome pieces = DecodePieces(stream, cuts);

  if (whole.packets.size() != pieces.packets.size()) Fail("a different number of packets");
  for (std::size_t i = 0; i < whole.packets.size(); ++i) {
    if (!Same(whole.packets[i], pieces.packets[i])) Fail("a different packet");
    CheckReencodes(whole.packets[i]);
  }
  if (whole.bad != pieces.bad) Fail("Bad in one cutting and not in the other");
  if (!whole.bad && whole.leftover != pieces.leftover) Fail("different bytes left waiting");
  if (!whole.bad && whole.leftover.size() >= Rcon::SizeField + Rcon::MaxSize)
    Fail("a whole packet's worth of bytes left waiting");
  return 0;
}
