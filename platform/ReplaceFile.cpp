#include "platform/ReplaceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace platform {
namespace {

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A new file beside target, made with mode (the umask applies); -1 when none can be made.
int CreateBeside(const std::string& target, unsigned mode, std::string& name) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".new-" + std::to_string(random() % 1000000000);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view content, unsigned newFileMode, std::string& why) {
  std::error_code ec;
  std::string target = path;
  if (std::filesystem::is_symlink(path, ec)) {
    const auto resolved = std::filesystem::weakly_canonical(path, ec);
    if (ec) {
      why = "cannot follow the link \"" + path + "\": " + ec.message();
      return false;
    }
    target = resolved.string();
  }

  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) {
    why = "\"" + target + "\" is not a file";
    return false;
  }

  std::string temp;
  const int fd = CreateBeside(target, exists ? 0600 : newFileMode, temp);
  if (fd < 0) {
    why = "cannot create a file beside \"" + target + "\": " + std::strerror(errno);
    return false;
  }
  if (exists) ::fchmod(fd, old.st_mode & 07777);

  const char* step = nullptr;
  if (!WriteAll(fd, content))
    step = "cannot write";
  else if (::fsync(fd) != 0)
    step = "cannot flush";
  int err = errno;
  if (::close(fd) != 0 && !step) {
    step = "cannot close";
    err = errno;
  }
  if (!step && ::rename(temp.c_str(), target.c_str()) != 0) {
    step = "cannot rename";
    err = errno;
  }
  if (step) {
    ::unlink(temp.c_str());
    why = std::string(step) + " \"" + temp + "\": " + std::strerror(err);
    return false;
  }
  // The rename has happened; flushing the folder makes it last (best effort).
  const std::string folder = std::filesystem::path(target).parent_path().string();
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace platform
