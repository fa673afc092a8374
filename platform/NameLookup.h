#pragma once
// One host name resolved on a thread of its own. The system's resolver cannot be
// interrupted and may take many seconds; the thread that asked waits for the answer only as
// long as it wants to, and a stop never waits for the resolver.
#include "platform/Socket.h"
#include "platform/WakeEvent.h"

#include <atomic>
#include <cstdint>

namespace platform {

class NameLookup {
public:
  enum class State { Pending, Found, Failed };

  // Lookups that may run at once in the process: a resolver that hangs (an unreachable name
  // server) costs at most this many threads, however often viewers retry.
  static constexpr int kMostRunning = 4;

  // Starts resolving `host` (copied, at most 255 characters). Null when there is no memory
  // or no thread for it, or kMostRunning lookups still run.
  static NameLookup* start(const char* host) noexcept;

  // Waits up to `milliseconds` for the answer; on Found, `address` holds it.
  State wait(std::uint32_t milliseconds, Address& address) noexcept;

  // The asker is done with the lookup (answered or not). The lookup is freed now, or by its
  // own thread when the resolver returns. The pointer must not be used afterwards.
  void release() noexcept;

  // Lookup threads that have not returned yet, released or not. Each holds the module its
  // code lives in until it has ended (threadStartDetached), so a DLL may be freed under one.
  static int running() noexcept;

private:
  NameLookup() = default;
  static unsigned resolve(void* argument);
  void drop() noexcept; // one owner (the asker or the thread) lets go

  char host_[256] = {};
  Address address_ = 0;
  std::atomic<State> state_{State::Pending};
  WakeEvent answered_;
  std::atomic<int> owners_{2}; // the asker and the resolving thread
  bool networkStarted_ = false;
};

} // namespace platform
