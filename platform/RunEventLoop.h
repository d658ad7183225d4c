#pragma once
// The user-interface thread's event queue as a run needs it: handle the next event while waiting for
// the archiver, and receive the end-of-run event posted by the worker thread.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class RunEventLoop {
 public:
  static constexpr int kRunEndedEvent = 1924;  // the first user message number plus 900

  virtual ~RunEventLoop() = default;
  // Handles the next event, waiting until one arrives (called on the user-interface thread).
  virtual void ProcessNextEvent() = 0;
  // From any thread: the end-of-run event, handled later on the user-interface thread by onRunEnded.
  virtual void PostRunEnded(int32_t endCode) = 0;

  std::function<void(int32_t endCode)> onRunEnded;
};

// An event queue without a window toolkit, for tests and tools: the end-of-run event and any work
// posted with Post() are handled, in order, by ProcessNextEvent on the thread that calls it.
class QueueRunEventLoop : public RunEventLoop {
 public:
  void ProcessNextEvent() override {
    std::function<void()> event;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return !events_.empty(); });
      event = std::move(events_.front());
      events_.pop_front();
    }
    event();
  }
  void PostRunEnded(int32_t endCode) override {
    Post([this, endCode] {
      if (onRunEnded) onRunEnded(endCode);
    });
  }
  void Post(std::function<void()> event) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back(std::move(event));
    }
    ready_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> events_;
};

}  // namespace platform
