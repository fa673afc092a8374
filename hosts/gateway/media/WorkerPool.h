#pragma once
// A few threads that run the gateway's picture work (decoding, scaling, JPEG encoding) away
// from its I/O thread. Threads start with the first job; the destructor lets the jobs taken
// so far finish, drops the rest and waits for the threads.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace gateway::media {

class WorkerPool {
public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues a job. False when no thread runs and none can be started, or the pool is stopping.
  bool post(std::function<void()> job);

  // Two threads at most on small machines, up to four on larger ones.
  static int defaultThreads();

private:
  void run();

  const int size_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  bool stopping_ = false;
};

} // namespace gateway::media
