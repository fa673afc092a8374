#pragma once
// Threads that mark themselves here never see an allocation failure armed with
// testsupport::failLargeAllocations (CountedAllocation.h): a test's own threads and the
// simulated peers it runs. Header only: code that marks its threads needs no link with the
// replaced allocation functions, and marking costs nothing in programs without them.
namespace testsupport {

inline thread_local bool tAllocationExempt = false;
inline void exemptThisThreadFromFailures() noexcept { tAllocationExempt = true; }

} // namespace testsupport
