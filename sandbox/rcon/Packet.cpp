#include "sandbox/rcon/Packet.h"

#include <algorithm>
#include <cassert>

namespace Rcon {

namespace {

std::int32_t ReadInt32(std::span<const std::uint8_t> bytes, std::size_t at) {
  const std::uint32_t value = std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
                              std::uint32_t{bytes[at + 2]} << 16 |
                              std::uint32_t{bytes[at + 3]} << 24;
  return static_cast<std::int32_t>(value);
}

void AppendInt32(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

}  // namespace

// How strict the terminator check is: clients disagree on the second zero byte. Some write the body
// and both zeros, some write the body with a single zero and count the size to match. Both end the
// packet in a zero byte, and both mean the same text, so the rule is only that the last byte is
// zero and the body is what precedes the first zero. A last byte that is not zero means the size
// does not frame the packet the client meant, and everything after it would be read out of step, so
// that is Bad. A client that counts one zero but writes two cannot be framed at all; none of the
// ordinary ones does.
Decoded Decode(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < SizeField) return {};
  const std::int32_t size = ReadInt32(bytes, 0);
  if (size < MinSize || size > MaxSize) return {DecodeStatus::Bad, {}, 0};
  const std::size_t total = SizeField + static_cast<std::size_t>(size);
  if (bytes.size() < total) return {};
  if (bytes[total - 1] != 0) return {DecodeStatus::Bad, {}, 0};

  Decoded out{DecodeStatus::Complete, {}, total};
  out.packet.id = ReadInt32(bytes, 4);
  out.packet.type = ReadInt32(bytes, 8);
  const auto body = bytes.subspan(12, total - 1 - 12);
  const auto end = std::find(body.begin(), body.end(), std::uint8_t{0});
  // With a single terminator the largest size leaves room for one byte more than a body may hold,
  // which no reply could echo back.
  if (static_cast<std::size_t>(end - body.begin()) > MaxBody) return {DecodeStatus::Bad, {}, 0};
  out.packet.body.assign(body.begin(), end);
  return out;
}

std::vector<std::uint8_t> Encode(std::int32_t id, std::int32_t type, std::string_view body) {
  assert(body.size() <= MaxBody);
  std::vector<std::uint8_t> out;
  out.reserve(SizeField + MinSize + body.size());
  AppendInt32(out, static_cast<std::int32_t>(MinSize + body.size()));
  AppendInt32(out, id);
  AppendInt32(out, type);
  out.insert(out.end(), body.begin(), body.end());
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::vector<std::string_view> SplitBody(std::string_view text) {
  std::vector<std::string_view> bodies;
  do {
    bodies.push_back(text.substr(0, MaxBody));
    text.remove_prefix(bodies.back().size());
  } while (!text.empty());
  return bodies;
}

}  // namespace Rcon
