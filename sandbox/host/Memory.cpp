// The engine's allocator.
#include <atomic>
#include <cstdio>
#include <cstdlib>

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

}  // namespace Sandbox
