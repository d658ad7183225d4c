#include "platform/qt/QtRunEventLoop.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <chrono>
#include <future>
#include <thread>

// The end-of-run event posted from a worker thread reaches the handler on this thread, and events
// of the window (a timer here) go on while the run waits.
TEST(QtRunEventLoop, DeliversTheEndOfRunFromAnotherThread) {
  platform::QtRunEventLoop loop;
  bool running = true;
  int32_t received = 0;
  int ticks = 0;
  loop.onRunEnded = [&](int32_t code) {
    received = code;
    running = false;
  };
  std::promise<void> ticking;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (++ticks == 4) ticking.set_value();
  });
  timer.start(10);
  // The worker posts once the window's events have been going on for a while.
  std::thread worker([&loop, going = ticking.get_future()] {
    EXPECT_EQ(going.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    loop.PostRunEnded(-1);
  });
  QTimer::singleShot(20000, [&] {
    ADD_FAILURE() << "the end-of-run event never came";
    running = false;
  });
  while (running) loop.ProcessNextEvent();
  worker.join();
  EXPECT_EQ(received, -1);
  EXPECT_GE(ticks, 4);
}
