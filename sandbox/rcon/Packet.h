// Source RCON packets as bytes: a decoder that only looks at the bytes it is given, an encoder,
// and the rule that splits a long reply over packets. No socket in here, so every case can be
// tested with plain buffers.
//
// A packet on the wire: size (little-endian int32, the bytes after it), id (int32), type (int32),
// the body as zero-terminated text, and one more zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Rcon {

inline constexpr std::int32_t MinSize = 10;  // id, type and the two zero bytes
inline constexpr std::int32_t MaxSize = 4096;
inline constexpr std::size_t MaxBody = MaxSize - MinSize;
inline constexpr std::size_t SizeField = 4;

// Requests.
inline constexpr std::int32_t AuthRequest = 3;
inline constexpr std::int32_t ExecRequest = 2;
// Replies; a response value also comes from clients, to mark the end of a split reply.
inline constexpr std::int32_t AuthAnswer = 2;
inline constexpr std::int32_t ResponseValue = 0;
// The id of an authentication answer that refuses.
inline constexpr std::int32_t RefusedId = -1;

struct Packet {
  std::int32_t id = 0;
  std::int32_t type = 0;
  std::string body;
};

enum class DecodeStatus { Complete, NeedMore, Bad };

struct Decoded {
  DecodeStatus status = DecodeStatus::NeedMore;
  Packet packet;             // when Complete
  std::size_t consumed = 0;  // when Complete: the bytes the packet took, size field included
};

// Looks at the start of bytes. The size is judged as soon as its four bytes are there, so a bad
// size is Bad without waiting for a body that may never come. A complete packet must end in a
// zero byte; its body is the text up to the first zero byte.
Decoded Decode(std::span<const std::uint8_t> bytes);

// One packet; the body must fit (at most MaxBody bytes).
std::vector<std::uint8_t> Encode(std::int32_t id, std::int32_t type, std::string_view body);

// The bodies that carry text: each MaxBody bytes but the last, which is never empty unless the
// text is; an empty text still gives one (empty) body.
std::vector<std::string_view> SplitBody(std::string_view text);

}  // namespace Rcon
