// Heap allocations made by the benchmark program so far: every operator new
// is counted, so a benchmark can report allocations per event or frame.
#pragma once

#include <cstdint>

uint64_t AllocationCount();
