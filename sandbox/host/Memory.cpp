// The engine's allocator and the game's own handling of engine strings.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "sandbox/host/Runtime.h"

namespace {

// Each block starts with a header, so that a pointer the allocator never gave out is caught at once
// rather than corrupting the heap.
struct alignas(16) BlockHeader {
  std::uint64_t magic;
  std::uint64_t size;
};
constexpr std::uint64_t LiveMagic = 0x4e4b4d454d4c4956;  // "NKMEMLIV"
constexpr std::uint64_t DeadMagic = 0x4e4b4d454d444541;  // "NKMEMDEA"

std::atomic<std::int64_t> live_blocks{0};
std::atomic<std::uint64_t> total_allocations{0};

BlockHeader* HeaderOf(void* block) {
  auto* header = static_cast<BlockHeader*>(block) - 1;
  if (header->magic != LiveMagic) {
    std::fprintf(stderr, "nestkeep-sandbox: FMemory was given %p, which it did not allocate%s\n",
                 block, header->magic == DeadMagic ? " (freed already)" : "");
    std::abort();
  }
  return header;
}

void* Malloc(std::uint64_t size, std::uint32_t alignment) {
  return Sandbox::EngineMalloc(size, alignment);
}
void* Realloc(void* block, std::uint64_t size) { return Sandbox::EngineRealloc(block, size); }
void Free(void* block) { Sandbox::EngineFree(block); }

const bool registered = [] {
  Sandbox::RegisterFunction(GameNames::Malloc, reinterpret_cast<void*>(&Malloc));
  Sandbox::RegisterFunction(GameNames::Realloc, reinterpret_cast<void*>(&Realloc));
  Sandbox::RegisterFunction(GameNames::Free, reinterpret_cast<void*>(&Free));
  return true;
}();

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  static constexpr unsigned char Lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  const int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  out += static_cast<char>(Lead[length] | (c >> (6 * (length - 1))));
  for (int shift = 6 * (length - 2); shift >= 0; shift -= 6)
    out += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
}

// One UTF-8 sequence at text[i]: its code point and length, or U+FFFD and 1 for a byte that does
// not start a well-formed sequence.
std::pair<char32_t, std::size_t> DecodeOne(std::string_view text, std::size_t i) {
  auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return {lead, 1};
  std::size_t length;
  char32_t c, smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, smallest = 0x10000;
  } else {
    return {0xFFFD, 1};
  }
  if (i + length > text.size()) return {0xFFFD, 1};
  for (std::size_t k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return {0xFFFD, 1};
    c = (c << 6) | (next & 0x3F);
  }
  if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return {0xFFFD, 1};
  return {c, length};
}

}  // namespace

namespace Sandbox {

void* EngineMalloc(std::uint64_t size, std::uint32_t /*alignment: blocks are 16-aligned*/) {
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (!header) return nullptr;
  header->magic = LiveMagic;
  header->size = size;
  live_blocks.fetch_add(1, std::memory_order_relaxed);
  total_allocations.fetch_add(1, std::memory_order_relaxed);
  return header + 1;
}

void* EngineRealloc(void* block, std::uint64_t size) {
  if (!block) return EngineMalloc(size, 0);
  if (size == 0) {
    EngineFree(block);
    return nullptr;
  }
  BlockHeader* header = HeaderOf(block);
  auto* moved = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + size));
  if (!moved) return nullptr;
  moved->size = size;
  total_allocations.fetch_add(1, std::memory_order_relaxed);
  return moved + 1;
}

void EngineFree(void* block) {
  if (!block) return;
  BlockHeader* header = HeaderOf(block);
  header->magic = DeadMagic;
  std::free(header);
  live_blocks.fetch_sub(1, std::memory_order_relaxed);
}

std::uint64_t BlockSize(void* block) { return HeaderOf(block)->size; }

std::int64_t LiveBlocks() { return live_blocks.load(std::memory_order_relaxed); }
std::uint64_t TotalAllocations() { return total_allocations.load(std::memory_order_relaxed); }

std::u16string FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    auto [c, length] = DecodeOne(utf8, i);
    i += length;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (c >> 10));
      out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string ToUtf8(const FString* s) {
  if (!s || !s->data) return std::string();
  return ToUtf8(std::u16string_view(s->data));
}

void AssignUtf8(FString* out, std::string_view utf8) {
  EngineFree(out->data);
  out->data = nullptr;
  out->count = out->capacity = 0;
  if (utf8.empty()) return;
  // Short names, the usual case, need no temporary.
  char16_t local[64];
  std::u16string wide;
  std::u16string_view units;
  bool ascii = utf8.size() < std::size(local);
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    for (std::size_t i = 0; i < utf8.size(); ++i) local[i] = static_cast<char16_t>(utf8[i]);
    units = std::u16string_view(local, utf8.size());
  } else {
    wide = FromUtf8(utf8);
    units = wide;
  }
  auto count = static_cast<std::int32_t>(units.size() + 1);
  out->data = static_cast<TCHAR*>(EngineMalloc(static_cast<std::uint64_t>(count) * sizeof(TCHAR), 0));
  std::memcpy(out->data, units.data(), units.size() * sizeof(TCHAR));
  out->data[units.size()] = 0;
  out->count = count;
  out->capacity = count;
}

}  // namespace Sandbox

// The game's own FString: built from UTF-8 or wide text, freed through its allocator.
FString::FString(const char* narrow) {
  if (narrow) Sandbox::AssignUtf8(this, narrow);
}

FString::FString(const TCHAR* wide) {
  if (!wide || !*wide) return;
  std::size_t n = std::char_traits<char16_t>::length(wide);
  count = static_cast<std::int32_t>(n + 1);
  capacity = count;
  data = static_cast<TCHAR*>(Sandbox::EngineMalloc((n + 1) * sizeof(TCHAR), 0));
  std::memcpy(data, wide, (n + 1) * sizeof(TCHAR));
}

FString::~FString() { Sandbox::EngineFree(data); }
