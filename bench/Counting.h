// Counts of standard-heap allocations, from the replaced global allocation functions of the
// benchmark binary (Counting.cpp).
#pragma once

#include <cstdint>

std::uint64_t HeapAllocations();
// The bytes the standard heap holds for the program now.
std::uint64_t HeapBytesHeld();
// The most bytes it held at once since the last call (or the start), and from now on counting
// again from what it holds now.
std::uint64_t TakeHeapPeak();
