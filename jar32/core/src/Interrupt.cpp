// Signal-time cleanup of temporary files and removal of leftovers from killed runs.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "TempFiles.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr int kSlots = 64;
constexpr size_t kPathMax = 4096;

// A slot is written only while it is free (state 0 -> 1 -> 2); the handler reads state-2 slots.
struct Slot {
  std::atomic<int> state{0};
  char path[kPathMax];
};
Slot g_slots[kSlots];

extern "C" void onSignal(int) {
  for (auto& slot : g_slots)
    if (slot.state.load() == 2) ::unlink(slot.path);
  static const char kText[] = "\nInterrupted\n";
  ssize_t ignored = ::write(2, kText, sizeof kText - 1);
  (void)ignored;
  _exit(kInterrupted);
}

}  // namespace

void installInterruptHandlers() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

bool registerCleanupPath(const char* path) {
  size_t n = std::strlen(path);
  if (n >= kPathMax) return false;
  for (auto& slot : g_slots) {
    int expected = 0;
    if (slot.state.compare_exchange_strong(expected, 1)) {
      std::memcpy(slot.path, path, n + 1);
      slot.state.store(2);
      return true;
    }
  }
  return false;
}

void unregisterCleanupPath(const char* path) {
  for (auto& slot : g_slots) {
    int expected = 2;
    if (slot.state.load() == 2 && std::strcmp(slot.path, path) == 0 &&
        slot.state.compare_exchange_strong(expected, 1))
      slot.state.store(0);
  }
}

void removeStaleTemporaries(const char* folder) {
  DIR* d = ::opendir(folder);
  if (!d) return;
  const size_t prefix = std::strlen(kTempPrefix), suffix = std::strlen(kTempSuffix);
  while (dirent* ent = ::readdir(d)) {
    std::string name = ent->d_name;
    if (name.size() <= prefix + suffix || name.compare(0, prefix, kTempPrefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kTempSuffix) != 0)
      continue;
    char* end = nullptr;
    long pid = std::strtol(name.c_str() + prefix, &end, 10);
    if (pid <= 0 || *end != '-' || pid == long(::getpid())) continue;
    if (::kill(pid_t(pid), 0) == -1 && errno == ESRCH)
      ::unlink((std::string(folder) + "/" + name).c_str());
  }
  ::closedir(d);
}

}  // namespace jar32
