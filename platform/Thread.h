#pragma once
// Worker threads: start with one argument, release the handle after the thread has
// acknowledged its stop. The viewer stops its workers with a flag handshake, not by joining.
#include <cstdint>

namespace platform {

using ThreadEntry = unsigned (*)(void* argument);

struct ThreadHandle {
  std::uintptr_t value = 0; // 0: no thread
  bool running() const { return value != 0; }
};

// Starts `entry(argument)` on a new thread with the default stack size. An empty handle
// on failure.
ThreadHandle threadStart(ThreadEntry entry, void* argument);

// Starts `entry(argument)` on a thread that nobody waits for: it frees its own resources when
// it returns. On Windows it holds the module (DLL) of this code until it has ended, so the
// module may be freed while it still runs. False when no thread could be started.
bool threadStartDetached(ThreadEntry entry, void* argument);

// Releases the handle. Called after the thread has acknowledged its stop request, when it
// is about to return: waits for that return (which is immediate) so that nothing of the
// thread outlives its owner, then frees the handle. Leaves `thread` empty.
void threadRelease(ThreadHandle& thread);

} // namespace platform
