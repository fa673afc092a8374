#include "platform/NameLookup.h"

#include "platform/Thread.h"

#include <new>

namespace platform {

namespace {
std::atomic<int> lookupsRunning{0};
}

NameLookup* NameLookup::start(const char* host) noexcept {
  auto* lookup = new (std::nothrow) NameLookup;
  if (!lookup) return nullptr;
  for (int i = 0; host && i < int(sizeof lookup->host_) - 1 && host[i] != '\0'; ++i) lookup->host_[i] = host[i];
  // The lookup holds a start-up of the socket library of its own: the viewer that asked may
  // be destroyed, and the library cleaned up, while the resolver still works.
  lookup->networkStarted_ = networkStartup();
  lookupsRunning.fetch_add(1, std::memory_order_acq_rel);
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
