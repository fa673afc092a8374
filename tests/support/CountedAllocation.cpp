#include "tests/support/CountedAllocation.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> gCount{0};
std::atomic<long> gAlive{0};
// The range of allocation indices that fail; first > last: none.
std::atomic<long> gFailFirst{1};
std::atomic<long> gFailLast{0};
// Large allocations of threads not exempt: the size from which they fail, and how many more.
std::atomic<std::size_t> gFailAtLeast{SIZE_MAX};
std::atomic<long> gLargeFailuresLeft{0};
std::atomic<long> gFailed{0};

bool takeLargeFailure(std::size_t size) noexcept {
  if (size < gFailAtLeast.load(std::memory_order_relaxed) || testsupport::tAllocationExempt) return false;
  long left = gLargeFailuresLeft.load();
  while (left > 0 && !gLargeFailuresLeft.compare_exchange_weak(left, left - 1)) {}
  return left > 0;
}

void* allocate(std::size_t size) noexcept {
  const long index = gCount.fetch_add(1, std::memory_order_relaxed);
  if ((index >= gFailFirst.load(std::memory_order_relaxed) && index <= gFailLast.load(std::memory_order_relaxed)) ||
      takeLargeFailure(size)) {
    gFailed.fetch_add(1, std::memory_order_relaxed);
    return nullptr;
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block != nullptr) gAlive.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void release(void* block) noexcept {
  if (block == nullptr) return;
  gAlive.fetch_sub(1, std::memory_order_relaxed);
  std::free(block);
}

} // namespace

namespace testsupport {

long allocationCount() noexcept { return gCount.load(); }
long blocksAlive() noexcept { return gAlive.load(); }

void failAllocation(long ahead, bool andLater) noexcept {
  const long first = gCount.load() + ahead;
  gFailLast.store(andLater ? LONG_MAX : first);
  gFailFirst.store(first);
}

void stopFailingAllocations() noexcept {
  gFailFirst.store(1);
  gFailLast.store(0);
  gLargeFailuresLeft.store(0);
  gFailAtLeast.store(SIZE_MAX);
}

void failLargeAllocations(std::size_t atLeast, long count) noexcept {
  gLargeFailuresLeft.store(count);
  gFailAtLeast.store(atLeast);
}

long failedAllocations() noexcept { return gFailed.load(); }

} // namespace testsupport

void* operator new(std::size_t size) {
  if (void* block = allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* block = allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, std::size_t) noexcept { release(block); }
void operator delete[](void* block, std::size_t) noexcept { release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { release(block); }
