// Replaces the global allocation functions, so that every standard-heap allocation of the process
// is counted, the module's and the sandbox's alike, with the bytes held and the most held at once.
#include "bench/Counting.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::uint64_t> allocations{0};
std::atomic<std::uint64_t> held{0};
std::atomic<std::uint64_t> peak{0};

void* Counted(void* p) {
  if (!p) return p;
  allocations.fetch_add(1, std::memory_order_relaxed);
  const std::uint64_t now =
      held.fetch_add(malloc_usable_size(p), std::memory_order_relaxed) + malloc_usable_size(p);
  std::uint64_t most = peak.load(std::memory_order_relaxed);
  while (now > most && !peak.compare_exchange_weak(most, now, std::memory_order_relaxed)) {
  }
  return p;
}

void* Allocate(std::size_t size) {
  if (void* p = Counted(std::malloc(size ? size : 1))) return p;
  throw std::bad_alloc();
}

void Free(void* p) {
  if (p) held.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
  std::free(p);
}
}  // namespace

std::uint64_t HeapAllocations() { return allocations.load(std::memory_order_relaxed); }
std::uint64_t HeapBytesHeld() { return held.load(std::memory_order_relaxed); }
std::uint64_t TakeHeapPeak() { return peak.exchange(held.load(std::memory_order_relaxed)); }

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Counted(std::malloc(size ? size : 1));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Counted(std::malloc(size ? size : 1));
}
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
