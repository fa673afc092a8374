#include "platform/NameLookup.h"

#include "platform/Thread.h"

#include <new>

namespace platform {

namespace {
std::atomic<int> lookupsRunning{0};

// Takes one of the process's lookup places; false when all are taken.
bool takePlace() noexcept {
  int running = lookupsRunning.load(std::memory_order_acquire);
  do {
    if (running >= NameLookup::kMostRunning) return false;
  } while (!lookupsRunning.compare_exchange_weak(running, running + 1, std::memory_order_acq_rel));
  return true;
}
} // namespace

NameLookup* NameLookup::start(const char* host) noexcept {
  if (!takePlace()) return nullptr;
  auto* lookup = new (std::nothrow) NameLookup;
  if (!lookup) {
    lookupsRunning.fetch_sub(1, std::memory_order_acq_rel);
    return nullptr;
  }
  for (int i = 0; host && i < int(sizeof lookup->host_) - 1 && host[i] != '\0'; ++i) lookup->host_[i] = host[i];
  // The lookup holds a start-up of the socket library of its own: the viewer that asked may
  // be destroyed, and the library cleaned up, while the resolver still works.
  lookup->networkStarted_ = networkStartup();
  if (!threadStartDetached(&NameLookup::resolve, lookup)) {
    lookupsRunning.fetch_sub(1, std::memory_order_acq_rel);
    if (lookup->networkStarted_) networkCleanup();
    delete lookup;
    return nullptr;
  }
  return lookup;
}

unsigned NameLookup::resolve(void* argument) {
  auto* lookup = static_cast<NameLookup*>(argument);
  Address address = 0;
  const bool found = resolveName(lookup->host_, address);
  lookup->address_ = address;
  lookup->state_.store(found ? State::Found : State::Failed, std::memory_order_release);
  const bool networkStarted = lookup->networkStarted_;
  lookup->answered_.signal();
  lookup->drop(); // may free the lookup: nothing of it is used below
  if (networkStarted) networkCleanup();
  // The place is free again; the thread itself still runs module code until it has ended,
  // which its hold on the module covers (platform/Thread.h).
  lookupsRunning.fetch_sub(1, std::memory_order_acq_rel);
  return 0;
}

NameLookup::State NameLookup::wait(std::uint32_t milliseconds, Address& address) noexcept {
  if (milliseconds > 0) answered_.wait(milliseconds);
  const State state = state_.load(std::memory_order_acquire);
  if (state == State::Found) address = address_;
  return state;
}

void NameLookup::release() noexcept { drop(); }

void NameLookup::drop() noexcept {
  if (owners_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

int NameLookup::running() noexcept { return lookupsRunning.load(std::memory_order_acquire); }

} // namespace platform
