// A fixed set of threads running queued tasks in order (used to compress blocks in parallel).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace jar32 {

class WorkerPool {
 public:
  explicit WorkerPool(unsigned n) {
    for (unsigned i = 0; i < n; ++i) threads_.emplace_back([this] { run(); });
  }
  ~WorkerPool() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
      tasks_.clear();  // unstarted work is dropped; its futures report broken promises
    }
    cv_.notify_all();
    for (auto& t : threads_) t.join();
  }
  void submit(std::function<void()> task) {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    cv_.notify_one();
  }

 private:
  void run() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
        if (stop_) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  bool stop_ = false;
};

}  // namespace jar32
