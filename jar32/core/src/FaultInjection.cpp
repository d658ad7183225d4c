#include "FaultInjection.h"

#include <atomic>
#include <map>
#include <mutex>

#include "jar32/Errors.h"

namespace jar32::fault {
namespace {
std::atomic<bool> g_active{false};
std::mutex g_mutex;
std::string g_step;
int g_left = 0;
std::map<std::string, int> g_counts;
}  // namespace

void point(const char* step) {
  if (!g_active.load(std::memory_order_relaxed)) return;
  std::lock_guard lock(g_mutex);
  ++g_counts[step];
  if (g_step == step && --g_left == 0)
    throw JarError(kWriteError, std::string("Injected failure at ") + step);
}

void arm(const std::string& step, int n) {
  std::lock_guard lock(g_mutex);
  g_step = step;
  g_left = n;
  g_counts.clear();
  g_active = !step.empty() || n < 0;
}

int count(const std::string& step) {
  std::lock_guard lock(g_mutex);
  auto it = g_counts.find(step);
  return it == g_counts.end() ? 0 : it->second;
}

}  // namespace jar32::fault
