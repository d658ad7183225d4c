// Signal-time cleanup of temporary files and removal of leftovers from killed runs.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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
  const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  removeFilesOfDeadProcesses(fd, kTempPrefix, kTempSuffix);
  ::close(fd);
}

void removeFilesOfDeadProcesses(int folderFd, const char* prefixText, const char* suffixText) {
  const int fd = ::dup(folderFd);  // fdopendir takes the descriptor over
  if (fd < 0) return;
  DIR* d = ::fdopendir(fd);
  if (!d) {
    ::close(fd);
    return;
  }
  const std::string_view prefix = prefixText, suffix = suffixText;
  std::vector<std::string> stale;
  while (dirent* ent = ::readdir(d)) {
    const std::string_view name = ent->d_name;
    if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix))
      continue;
    // <pid>-<digits> between prefix and suffix.
    const std::string_view middle =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == middle.size() ||
        middle.find_first_not_of("0123456789-") != std::string_view::npos ||
        middle.find('-', dash + 1) != std::string_view::npos || dash > 10)
      continue;
    const long long pid = std::strtoll(std::string(middle.substr(0, dash)).c_str(), nullptr, 10);
    if (pid <= 0 || pid > INT_MAX || pid == ::getpid()) continue;
    if (::kill(pid_t(pid), 0) == -1 && errno == ESRCH) stale.emplace_back(name);
  }
  ::closedir(d);
  for (const std::string& name : stale) {
    struct stat st;
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
      ::unlinkat(folderFd, name.c_str(), 0);
  }
}

}  // namespace jar32
