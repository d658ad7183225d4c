#include "FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "FaultInjection.h"
#include "VolumeSet.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

// Writes of at least this many bytes are handed to the disk at once.
constexpr uint64_t kWritebackFrom = 1u << 20;

std::string describe(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

}  // namespace

File::~File() { close(); }
File::File(File&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)),
      path_(std::move(o.path_)),
      writePos_(o.writePos_),
      limit_(std::exchange(o.limit_, UINT64_MAX)),
      volumes_(std::move(o.volumes_)),
      overlay_(std::move(o.overlay_)) {}
File& File::operator=(File&& o) noexcept {
  if (this != &o) {
    close();
    fd_ = std::exchange(o.fd_, -1);
    path_ = std::move(o.path_);
    writePos_ = o.writePos_;
    limit_ = std::exchange(o.limit_, UINT64_MAX);
    volumes_ = std::move(o.volumes_);
    overlay_ = std::move(o.overlay_);
  }
  return *this;
}

File File::openRead(const std::string& path) {
  File f;
  f.path_ = path;
  f.fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (f.fd_ < 0) throw JarError(kOpenError, describe("Cannot open", path, errno));
  struct stat st;
  if (fstat(f.fd_, &st) == 0 && S_ISDIR(st.st_mode))
    throw JarError(kOpenError, describe("Cannot open", path, EISDIR));
  return f;
}

File File::create(const std::string& path) {
  File f;
  f.path_ = path;
  f.fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (f.fd_ < 0) throw JarError(kWriteError, describe("Cannot create", path, errno));
  return f;
}

uint64_t File::size() const {
  if (overlay_) return std::min(overlay_->size, limit_);
  if (volumes_) return std::min(volumes_->size(), limit_);
  struct stat st;
  if (fstat(fd_, &st) != 0) throw JarError(kOpenError, describe("Cannot read", path_, errno));
  return std::min(uint64_t(st.st_size), limit_);
}

size_t File::readSomeAt(uint64_t offset, void* out, size_t n) const {
  if (offset >= limit_) return 0;
  n = size_t(std::min<uint64_t>(n, limit_ - offset));
  if (overlay_ && n) {
    if (offset >= overlay_->size) return 0;
    n = size_t(std::min<uint64_t>(n, overlay_->size - offset));
    auto next = overlay_->pieces.upper_bound(offset);
    if (next != overlay_->pieces.begin()) {
      auto piece = std::prev(next);
      if (offset < piece->first + piece->second.size()) {
        const size_t take = size_t(std::min<uint64_t>(n, piece->first + piece->second.size() - offset));
        std::memcpy(out, piece->second.data() + (offset - piece->first), take);
        return take;
      }
    }
    if (next != overlay_->pieces.end()) n = size_t(std::min<uint64_t>(n, next->first - offset));
  }
  return readStoredAt(offset, out, n);
}

size_t File::readStoredAt(uint64_t offset, void* out, size_t n) const {
  if (volumes_) return volumes_->readSomeAt(offset, out, n);
  for (;;) {
    ssize_t got = ::pread(fd_, out, n, off_t(offset));
    if (got >= 0) return size_t(got);
    if (errno != EINTR) throw JarError(kOpenError, describe("Cannot read", path_, errno));
  }
}

bool File::readAt(uint64_t offset, void* out, size_t n) const {
  auto p = static_cast<uint8_t*>(out);
  while (n) {
    size_t got = readSomeAt(offset, p, n);
    if (got == 0) return false;
    p += got;
    offset += got;
    n -= got;
  }
  return true;
}

void File::write(const void* data, size_t n) {
  fault::point("write");
  const uint64_t from = writePos_;
  auto p = static_cast<const uint8_t*>(data);
  while (n) {
    ssize_t done = ::write(fd_, p, n);
    if (done < 0) {
      if (errno == EINTR) continue;
      throw JarError(kWriteError, describe("Cannot write", path_, errno));
    }
    p += done;
    n -= size_t(done);
    writePos_ += uint64_t(done);
  }
#ifdef SYNC_FILE_RANGE_WRITE
  // A large write goes to the disk while the next is made: sync() then waits for little.
  if (writePos_ - from >= kWritebackFrom)
    ::sync_file_range(fd_, off_t(from), off_t(writePos_ - from), SYNC_FILE_RANGE_WRITE);
#endif
}

void File::sync() {
  fault::point("sync");
  if (::fsync(fd_) != 0) throw JarError(kWriteError, describe("Cannot flush", path_, errno));
}

void File::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void syncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // nothing more we can do; the rename itself succeeded
  ::fsync(fd);
  ::close(fd);
}

std::string folderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool pathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::string followLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    std::string target(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n < 0) return current;
    if (size_t(n) == target.size()) continue;  // grew meanwhile: read it again
    target.resize(size_t(n));
    current = target.front() == '/' ? target : folderOf(current) + "/" + target;
  }
  throw JarError(kOpenError, describe("Cannot open", path, ELOOP));
}

unsigned processUmask() {
  // Reading it from /proc avoids changing it, which other threads might notice.
  if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f))
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(f);
    if (found) return mask & 0777;
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return unsigned(mask) & 0777;
}

}  // namespace jar32
