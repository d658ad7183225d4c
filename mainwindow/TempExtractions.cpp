#include "mainwindow/TempExtractions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Field 22 of /proc/<pid>/stat: the start time in clock ticks after boot ("" when unknown).
std::string StartTime(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return "";
  const size_t close = text.rfind(')');  // the program name may hold spaces and parentheses
  if (close == std::string::npos) return "";
  std::istringstream fields(text.substr(close + 1));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) return field;
  return "";
}

bool Alive(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// A real folder (not a link) of this user with no access for others.
bool PrivateFolder(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
         (info.st_mode & 077) == 0;
}

bool MakePrivateFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0700) == 0 && ::chmod(path.c_str(), 0700) == 0;
}

std::string Joined(const std::string& base, const std::string& name) {
  return !base.empty() && base.back() == '/' ? base + name : base + "/" + name;
}

}  // namespace

std::string TempExtractions::OwnerMark() { return OwnerMarkOf(static_cast<long>(::getpid())); }

std::string TempExtractions::OwnerMarkOf(long pid) {
  if (!Alive(pid)) return "";
  return std::to_string(pid) + " " + StartTime(pid);
}

std::string TempExtractions::NewFolder(const std::string& base) {
  if (root_.empty() || !PrivateFolder(root_)) {
    root_.clear();
    if (base.empty()) return "";
    // Another user's folder of that name (or a link planted there) is never used.
    const std::string name = Joined(base, kPrefix + std::to_string(::getpid()));
    for (int attempt = 0; attempt < 2 && root_.empty(); ++attempt) {
      if (MakePrivateFolder(name)) {
        root_ = name;
      } else if (errno == EEXIST && PrivateFolder(name)) {
        std::error_code error;
        fs::remove_all(name, error);  // an earlier process of this pid: gone, as this one holds it
        continue;
      } else {
        return "";
      }
    }
    if (root_.empty()) return "";
    std::ofstream(Joined(root_, kOwnerFile)) << OwnerMark() << "\n";
  }
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string folder = Joined(root_, std::to_string(++next_));
    if (MakePrivateFolder(folder)) return folder;
    if (errno != EEXIST) return "";
  }
  return "";
}

void TempExtractions::RemoveAll() {
  if (root_.empty()) return;
  std::error_code error;
  if (PrivateFolder(root_)) fs::remove_all(root_, error);
  root_.clear();
}

int TempExtractions::ClearStale(const std::string& base) {
  if (base.empty()) return 0;
  std::error_code error;
  fs::directory_iterator entries(base, error);
  if (error) return 0;
  const std::string prefix = kPrefix;
  int removed = 0;
  for (const fs::directory_entry& entry : entries) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
    if (end == name.c_str() + prefix.size() || *end != '\0') continue;
    const std::string path = entry.path().string();
    if (!PrivateFolder(path)) continue;
    std::string mark;
    std::getline(std::ifstream(Joined(path, kOwnerFile)), mark);
    // Alive means the same process: the pid with the start time it had when it made the folder.
    const std::string now = OwnerMarkOf(pid);
    if (!now.empty() && (mark.empty() || mark == now)) continue;
    std::error_code removeError;
    if (fs::remove_all(path, removeError) > 0 && !removeError) ++removed;
  }
  return removed;
}
