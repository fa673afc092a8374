#include "platform/Thread.h"

#include <pthread.h>

#include <new>

namespace platform {

namespace {

struct StartRecord {
  ThreadEntry entry;
  void* argument;
};

void* runThread(void* startRecord) {
  StartRecord start = *static_cast<StartRecord*>(startRecord);
  delete static_cast<StartRecord*>(startRecord);
  start.entry(start.argument);
  return nullptr;
}

static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t), "pthread_t must fit the handle");

} // namespace

ThreadHandle threadStart(ThreadEntry entry, void* argument) {
  ThreadHandle thread;
  if (entry == nullptr) return thread;
  auto* start = new (std::nothrow) StartRecord{entry, argument};
  if (start == nullptr) return thread;
  pthread_t id{};
  if (pthread_create(&id, nullptr, runThread, start) != 0) {
    delete start;
    return thread;
  }
  // glibc's pthread_t is the address of the thread's control block: never 0.
  thread.value = static_cast<std::uintptr_t>(id);
  return thread;
}

bool threadStartDetached(ThreadEntry entry, void* argument) {
  ThreadHandle thread = threadStart(entry, argument);
  if (!thread.running()) return false;
  pthread_detach(static_cast<pthread_t>(thread.value));
  return true;
}

void threadRelease(ThreadHandle& thread) {
  if (!thread.running()) return;
  auto id = static_cast<pthread_t>(thread.value);
  if (pthread_equal(id, pthread_self()))
    pthread_detach(id); // a thread releasing itself cannot wait for its own end
  else
    pthread_join(id, nullptr);
  thread.value = 0;
}

} // namespace platform
