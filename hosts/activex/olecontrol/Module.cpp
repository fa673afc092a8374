#include "hosts/activex/olecontrol/Module.h"

#include <atomic>

namespace olecontrol {
namespace {
HINSTANCE instance = nullptr;
std::atomic<long> objects{0};
std::atomic<long> locks{0};
} // namespace

void setModuleInstance(HINSTANCE module) { instance = module; }
HINSTANCE moduleInstance() { return instance; }

std::wstring modulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(instance, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2); // cut off: try a larger buffer
  }
}

void objectCreated() { objects.fetch_add(1, std::memory_order_acq_rel); }
void objectDestroyed() { objects.fetch_sub(1, std::memory_order_acq_rel); }
void lockServer(bool lock) { locks.fetch_add(lock ? 1 : -1, std::memory_order_acq_rel); }
long objectCount() { return objects.load(std::memory_order_acquire); }
long lockCount() { return locks.load(std::memory_order_acquire); }

} // namespace olecontrol
