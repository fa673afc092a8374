#include "hosts/gateway/media/WorkerPool.h"

#include <algorithm>

namespace gateway::media {

WorkerPool::WorkerPool(int threads) : size_(std::max(1, threads)) {}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

int WorkerPool::defaultThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores >= 8 ? 4 : 2;
}

bool WorkerPool::post(std::function<void()> job) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (stopping_) return false;
  if (int(threads_.size()) < size_) {
    try {
      threads_.emplace_back([this] { run(); });
    } catch (...) {
      if (threads_.empty()) return false; // the ones running will take it
    }
  }
  try {
    jobs_.push_back(std::move(job));
  } catch (...) {
    return false;
  }
  wake_.notify_one();
  return true;
}

void WorkerPool::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    job = nullptr; // what the job holds goes before the lock is taken again
    lock.lock();
  }
}

} // namespace gateway::media
