#include "FaultInjection.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>

#include "jar32/Errors.h"
#include "jar32/TestHooks.h"

namespace jar32::fault {
namespace {
std::atomic<bool> g_active{false};
std::mutex g_mutex;
std::string g_step;
int g_left = 0;
std::map<std::string, int> g_counts;
std::condition_variable g_counted;
std::string g_pauseStep;
int g_pauseLeft = 0;
int g_notifyFd = -1, g_resumeFd = -1;

void updateActive() { g_active = !g_step.empty() || g_left < 0 || !g_pauseStep.empty(); }

void holdHere(int notifyFd, int resumeFd) {
  const char byte = 'p';
  while (::write(notifyFd, &byte, 1) < 0 && errno == EINTR) {
  }
  char reply;
  while (::read(resumeFd, &reply, 1) < 0 && errno == EINTR) {
  }
}
}  // namespace

void point(const char* step) {
  if (!g_active.load(std::memory_order_relaxed)) return;
  int notifyFd = -1, resumeFd = -1;
  {
    std::lock_guard lock(g_mutex);
    ++g_counts[step];
    g_counted.notify_all();
    if (g_pauseStep == step && --g_pauseLeft == 0) {
      notifyFd = g_notifyFd;
      resumeFd = g_resumeFd;
    }
    if (g_step == step && --g_left == 0)
      throw JarError(kWriteError, std::string("Injected failure at ") + step);
  }
  if (notifyFd >= 0) holdHere(notifyFd, resumeFd);
}

void arm(const std::string& step, int n) {
  std::lock_guard lock(g_mutex);
  g_step = step;
  g_left = n;
  g_counts.clear();
  updateActive();
}

int count(const std::string& step) {
  std::lock_guard lock(g_mutex);
  auto it = g_counts.find(step);
  return it == g_counts.end() ? 0 : it->second;
}

bool waitForCount(const std::string& step, int n, std::chrono::milliseconds timeout) {
  std::unique_lock lock(g_mutex);
  return g_counted.wait_for(lock, timeout, [&] {
    auto it = g_counts.find(step);
    return it != g_counts.end() && it->second >= n;
  });
}

void pause(const std::string& step, int n, int notifyFd, int resumeFd) {
  std::lock_guard lock(g_mutex);
  g_pauseStep = step;
  g_pauseLeft = n;
  g_notifyFd = notifyFd;
  g_resumeFd = resumeFd;
  updateActive();
}

bool pauseFromText(const std::string& text) {
  const size_t a = text.find(':');
  const size_t b = a == std::string::npos ? a : text.find(':', a + 1);
  const size_t c = b == std::string::npos ? b : text.find(':', b + 1);
  if (c == std::string::npos || a == 0) return false;
  char* end = nullptr;
  const long n = std::strtol(text.c_str() + a + 1, &end, 10);
  if (end != text.c_str() + b || n < 1) return false;
  const long notifyFd = std::strtol(text.c_str() + b + 1, &end, 10);
  if (end != text.c_str() + c || notifyFd < 0) return false;
  const long resumeFd = std::strtol(text.c_str() + c + 1, &end, 10);
  if (*end != '\0' || resumeFd < 0) return false;
  pause(text.substr(0, a), int(n), int(notifyFd), int(resumeFd));
  return true;
}

}  // namespace jar32::fault

namespace jar32 {

void installTestHooksFromEnvironment() {
  if (const char* text = std::getenv("JAR32_TEST_PAUSE")) fault::pauseFromText(text);
}

void testPoint(const char* step) { fault::point(step); }

}  // namespace jar32
