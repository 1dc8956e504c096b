// Counts of standard-heap allocations, from the replaced global allocation functions of the
// benchmark binary (Counting.cpp).
#pragma once

#include <cstdint>

std::uint64_t HeapAllocations();
