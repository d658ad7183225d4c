#include "platform/qt/QtRunEventLoop.h"

#include <gtest/gtest.h>

#include <QTimer>
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
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(10);
  std::thread worker([&loop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    loop.PostRunEnded(-1);
  });
  while (running) loop.ProcessNextEvent();
  worker.join();
  EXPECT_EQ(received, -1);
  EXPECT_GT(ticks, 3);
}
