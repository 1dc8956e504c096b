// The RCON packet decoder, encoder and reply splitting, over plain byte buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sandbox/rcon/Packet.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rcon::DecodeStatus;

void Put32(Bytes& out, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(bits >> shift));
}

// Written out by hand rather than with Encode, so that the decoder is checked against the wire
// format and not against our own encoder.
Bytes Raw(std::int32_t size, std::int32_t id, std::int32_t type, const std::string& tail) {
  Bytes out;
  Put32(out, size);
  Put32(out, id);
  Put32(out, type);
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

Bytes Wire(std::int32_t id, std::int32_t type, const std::string& body) {
  return Raw(static_cast<std::int32_t>(body.size() + 10), id, type, body + std::string(2, '\0'));
}

Bytes Shorter(Bytes bytes) {
  bytes.pop_back();
  return bytes;
}

Bytes Join(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct DecodeCase {
  const char* name;
  Bytes bytes;
  DecodeStatus status;
  std::int32_t id = 0;
  std::int32_t type = 0;
  std::string body;
  std::size_t consumed = 0;
};

// Test names carry the case; its bytes need not be printed as well.
void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.name; }

DecodeCase Partial(const char* name, Bytes bytes, DecodeStatus status) {
  return DecodeCase{name, std::move(bytes), status, 0, 0, "", 0};
}

class DecodeTable : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTable, GivesStatusAndPacket) {
  const DecodeCase& c = GetParam();
  const Rcon::Decoded d = Rcon::Decode(c.bytes);
  ASSERT_EQ(d.status, c.status);
  if (c.status != DecodeStatus::Complete) return;
  EXPECT_EQ(d.packet.id, c.id);
  EXPECT_EQ(d.packet.type, c.type);
  EXPECT_EQ(d.packet.body, c.body);
  EXPECT_EQ(d.consumed, c.consumed);
}

const std::string Max(Rcon::MaxBody, 'x');

INSTANTIATE_TEST_SUITE_P(
    Rcon, DecodeTable,
    testing::Values(
        Partial("Empty", {}, DecodeStatus::NeedMore),
        Partial("ThreeSizeBytes", {10, 0, 0}, DecodeStatus::NeedMore),
        Partial("SizeOnly", Bytes{10, 0, 0, 0}, DecodeStatus::NeedMore),
        DecodeCase{"AuthWithIdZero", Wire(0, 3, "pw"), DecodeStatus::Complete, 0, 3, "pw", 16},
        DecodeCase{"ExecNegativeId", Wire(-7, 2, "memory"), DecodeStatus::Complete, -7, 2, "memory",
                   20},
        DecodeCase{"EmptyBodySize10", Wire(5, 0, ""), DecodeStatus::Complete, 5, 0, "", 14},
        DecodeCase{"LargestSize4096", Wire(1, 2, Max), DecodeStatus::Complete, 1, 2, Max, 4100},
        DecodeCase{"Utf8Body", Wire(1, 2, "spawn Mo\xC3\xABl"), DecodeStatus::Complete, 1, 2,
                   "spawn Mo\xC3\xABl", 25},
        // Clients that write a single zero after the body and count the size to match.
        DecodeCase{"SingleTerminator", Raw(12, 9, 2, "abc" + std::string(1, '\0')),
                   DecodeStatus::Complete, 9, 2, "abc", 16},
        DecodeCase{"SingleCharSize10", Raw(10, 9, 2, "a" + std::string(1, '\0')),
                   DecodeStatus::Complete, 9, 2, "a", 14},
        DecodeCase{"TextAfterFirstZeroIgnored",
                   Raw(15, 4, 2, "ab" + std::string(1, '\0') + "cd" + std::string(2, '\0')),
                   DecodeStatus::Complete, 4, 2, "ab", 19},
        Partial("LastByteNotZero", Raw(12, 1, 2, "abc" + std::string(1, 'x')), DecodeStatus::Bad),
        Partial("NoTerminatorAtAll", Raw(12, 1, 2, "abcd"), DecodeStatus::Bad),
        Partial("Size9", Raw(9, 1, 2, std::string(1, '\0')), DecodeStatus::Bad),
        Partial("Size4097", Raw(4097, 1, 2, ""), DecodeStatus::Bad),
        Partial("Body4087WithOneTerminator",
                Raw(4096, 1, 2, std::string(4087, 'x') + std::string(1, '\0')), DecodeStatus::Bad),
        Partial("SizeZero", Bytes{0, 0, 0, 0}, DecodeStatus::Bad),
        Partial("NegativeSize", Bytes{0xFF, 0xFF, 0xFF, 0xFF}, DecodeStatus::Bad),
        Partial("MostNegativeSize", Bytes{0, 0, 0, 0x80}, DecodeStatus::Bad),
        Partial("HugeSizeBadBeforeBody", Bytes{0, 0, 0, 0x7F}, DecodeStatus::Bad),
        Partial("Size10AwaitsBody", Bytes{10, 0, 0, 0, 1, 0, 0, 0}, DecodeStatus::NeedMore),
        Partial("Size4096AwaitsBody", Raw(4096, 1, 2, "abc"), DecodeStatus::NeedMore),
        Partial("OneByteShort", Shorter(Wire(3, 2, "status")), DecodeStatus::NeedMore),
        DecodeCase{"TrailingBytesLeftAlone", Join({Wire(3, 2, "a"), Bytes{1, 2}}),
                   DecodeStatus::Complete, 3, 2, "a", 15}),
    [](const testing::TestParamInfo<DecodeCase>& p) { return std::string(p.param.name); });

// What a connection does with its input: decode from the front until more is needed.
std::vector<Rcon::Packet> DecodeAll(const Bytes& bytes, std::size_t& left) {
  std::vector<Rcon::Packet> out;
  std::size_t at = 0;
  for (;;) {
    Rcon::Decoded d = Rcon::Decode(std::span(bytes).subspan(at));
    if (d.status != DecodeStatus::Complete) break;
    at += d.consumed;
    out.push_back(std::move(d.packet));
  }
  left = bytes.size() - at;
  return out;
}

// A stream cut anywhere must give the same packets: the bytes before the cut, decoded, and then
// the remainder appended, as a connection would receive them in two reads. Uncut, the packets
// come one after another from a single buffer.
TEST(RconDecode, EveryCutGivesTheSamePackets) {
  const Bytes stream = Join({Wire(11, 3, "secret"), Wire(12, 2, ""), Wire(-1, 0, "tail")});
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    Bytes buffer(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
    std::size_t left = 0;
    auto packets = DecodeAll(buffer, left);
    buffer.erase(buffer.begin(), buffer.end() - static_cast<std::ptrdiff_t>(left));
    buffer.insert(buffer.end(), stream.begin() + static_cast<std::ptrdiff_t>(cut), stream.end());
    for (auto& p : DecodeAll(buffer, left)) packets.push_back(std::move(p));
    std::string got;  // id/type/body of each
    for (const auto& p : packets)
      got += std::to_string(p.id) + "/" + std::to_string(p.type) + "/" + p.body + " ";
    EXPECT_EQ(got, "11/3/secret 12/2/ -1/0/tail ") << "cut at " << cut;
    EXPECT_EQ(left, 0u) << "cut at " << cut;
  }
}

TEST(RconEncode, LittleEndianFields) {
  const Bytes bytes = Rcon::Encode(0x01020304, 2, "hi");
  EXPECT_EQ(bytes, (Bytes{12, 0, 0, 0, 4, 3, 2, 1, 2, 0, 0, 0, 'h', 'i', 0, 0}));
}

struct SplitCase {
  std::size_t length;
  std::vector<std::size_t> sizes;
};

void PrintTo(const SplitCase& c, std::ostream* out) { *out << c.length << " bytes"; }

class SplitTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTable, FullBodiesButTheLast) {
  const SplitCase& c = GetParam();
  std::string text;
  for (std::size_t i = 0; i < c.length; ++i) text += static_cast<char>('a' + i % 23);
  const auto bodies = Rcon::SplitBody(text);
  std::vector<std::size_t> sizes;
  std::string joined;
  for (auto b : bodies) {
    sizes.push_back(b.size());
    joined += b;
  }
  EXPECT_EQ(sizes, c.sizes);
  EXPECT_EQ(joined, text);
}

INSTANTIATE_TEST_SUITE_P(Rcon, SplitTable,
                         testing::Values(SplitCase{0, {0}}, SplitCase{1, {1}},
                                         SplitCase{4085, {4085}}, SplitCase{4086, {4086}},
                                         SplitCase{4087, {4086, 1}}, SplitCase{8172, {4086, 4086}},
                                         SplitCase{8173, {4086, 4086, 1}},
                                         SplitCase{3 * 4086, {4086, 4086, 4086}}));

}  // namespace
