#pragma once
// A program that links camview_counted_allocation has its global allocation functions
// replaced: every allocation is counted, the blocks alive are counted, and allocations can be
// made to fail on cue. Allocation-failure suites use it to check that each failure is handled
// and leaves nothing behind; benchmarks use it to report allocations per picture or drawing.
// The counters are atomic: worker threads allocate too. Not for sanitizer builds, which
// bring their own allocator.
#include "tests/support/AllocationExemption.h"

#include <cstddef>

namespace testsupport {

// Allocations made since the program started, failed ones included.
long allocationCount() noexcept;

// Blocks taken and not yet given back.
long blocksAlive() noexcept;

// The allocation `ahead` places from now (0: the next one) fails, and with `andLater`
// every one after it too, until stopFailingAllocations.
void failAllocation(long ahead, bool andLater = false) noexcept;
void stopFailingAllocations() noexcept;

// The next `count` allocations of at least `atLeast` bytes made on threads that are not
// exempt fail (until stopFailingAllocations), whichever thread makes them: a test arms a
// failure for the code under test without failing its own peers.
void failLargeAllocations(std::size_t atLeast, long count = 1) noexcept;

// Allocations made to fail so far, by either kind of cue.
long failedAllocations() noexcept;

} // namespace testsupport
