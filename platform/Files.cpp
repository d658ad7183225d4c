#include "platform/Files.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace platform {
namespace {

// Closes a descriptor when it goes out of scope.
struct Fd {
  int fd;
  explicit Fd(int f) : fd(f) {}
  ~Fd() { if (fd >= 0) ::close(fd); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSizeOf(const std::string& path) {
  Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string SystemTempFolder() {
  const char* env = std::getenv("TMPDIR");
  std::string folder = env && *env ? env : "/tmp";
  if (!IsFolder(folder)) return "";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string MakeUniqueTempFile(const std::string& folder, const std::string& prefix) {
  if (folder.empty()) return "";
  std::string pattern = folder;
  if (pattern.back() != '/') pattern += '/';
  pattern += prefix + "XXXXXX.tmp";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemps(name.data(), 4);  // mode 0600
  if (fd < 0) return "";
  ::close(fd);
  return std::string(name.data());
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (f.fd < 0) return false;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(f.fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      content.clear();
      return false;
    }
    if (n == 0) return true;
    content.append(buffer, static_cast<size_t>(n));
  }
}

bool WriteWholeFile(const std::string& path, std::string_view content) {
  Fd f(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (f.fd < 0 || !WriteAll(f.fd, content)) return false;
  int fd = f.fd;
  f.fd = -1;
  return ::close(fd) == 0;
}

void DeleteFileQuietly(const std::string& path) {
  if (!path.empty()) ::unlink(path.c_str());
}

void WipeAndDeleteFile(const std::string& path) {
  // Never through a link: only the file itself is overwritten.
  Fd f(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (f.fd >= 0 && ::fstat(f.fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    const std::string zeros(4096, '\0');
    for (int64_t left = st.st_size; left > 0; left -= static_cast<int64_t>(zeros.size()))
      if (!WriteAll(f.fd, std::string_view(zeros).substr(0, static_cast<size_t>(std::min<int64_t>(left, 4096))))) break;
    ::fsync(f.fd);
  }
  DeleteFileQuietly(path);
}

std::string RunningProgramPath() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "" : path.string();
}

std::string FindProgram(const std::string& name) {
  if (name.empty()) return "";
  if (name.find('/') != std::string::npos) return FileExists(name) ? name : "";
  std::vector<std::string> folders{FolderPart(RunningProgramPath())};
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (!rest.empty()) {
      size_t colon = rest.find(':');
      folders.emplace_back(rest.substr(0, colon));
      rest = colon == std::string_view::npos ? "" : rest.substr(colon + 1);
    }
  }
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::string candidate = JoinPath(folder, name);
    if (FileExists(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

}  // namespace platform
