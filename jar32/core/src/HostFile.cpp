#include "HostFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "jar32/Errors.h"

namespace jar32 {
namespace {

HostState stateOf(const struct stat& st) {
  HostState s;
  s.device = uint64_t(st.st_dev);
  s.inode = uint64_t(st.st_ino);
  s.size = uint64_t(st.st_size);
  s.mtime = st.st_mtim.tv_sec;
  s.mtimeNsec = uint32_t(st.st_mtim.tv_nsec);
  s.ctime = st.st_ctim.tv_sec;
  s.ctimeNsec = uint32_t(st.st_ctim.tv_nsec);
  s.mode = st.st_mode & 07777;
  s.uid = st.st_uid;
  s.gid = st.st_gid;
  s.sparse = st.st_size > 0 && uint64_t(st.st_blocks) * 512 < uint64_t(st.st_size);
  return s;
}

[[noreturn]] void cannot(const std::string& path, const std::string& why) {
  throw JarError(kOpenError, "Cannot read " + path + ": " + why);
}

}  // namespace

HostFile HostFile::open(const std::string& path) {
  HostFile f = openUnconfirmed(path);
  f.confirm();
  return f;
}

HostFile HostFile::openUnconfirmed(const std::string& path) {
  HostFile f;
  f.path_ = path;
  f.fd_ = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (f.fd_ < 0) {
    if (errno == ELOOP) cannot(path, "it is a symbolic link now");
    cannot(path, std::strerror(errno));
  }
  return f;
}

void HostFile::confirm() {
  struct stat st;
  if (::fstat(fd_, &st) != 0) cannot(path_, std::strerror(errno));
  if (S_ISDIR(st.st_mode)) cannot(path_, "it is a folder now");
  if (!S_ISREG(st.st_mode)) cannot(path_, "it is no regular file now (a pipe, device or socket)");
  opened_ = stateOf(st);
}

HostFile::~HostFile() { close(); }

HostFile::HostFile(HostFile&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)), path_(std::move(o.path_)), opened_(o.opened_) {}

HostFile& HostFile::operator=(HostFile&& o) noexcept {
  if (this != &o) {
    close();
    fd_ = std::exchange(o.fd_, -1);
    path_ = std::move(o.path_);
    opened_ = o.opened_;
  }
  return *this;
}

void HostFile::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

HostState HostFile::now() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) cannot(path_, std::strerror(errno));
  return stateOf(st);
}

size_t HostFile::readData(uint64_t offset, uint8_t* out, size_t n) const {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd_, out + done, n - done, off_t(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      cannot(path_, std::strerror(errno));
    }
    if (got == 0) break;
    done += size_t(got);
  }
  return done;
}

size_t HostFile::readAt(uint64_t offset, uint8_t* out, size_t n) const {
  if (!opened_.sparse) return readData(offset, out, n);
  size_t done = 0;
  while (done < n) {
    const off_t at = off_t(offset + done);
    off_t data = ::lseek(fd_, at, SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
      // Nothing but a hole up to the end of the file.
      const uint64_t size = now().size;
      const size_t zeros = size > uint64_t(at) ? size_t(std::min<uint64_t>(n - done, size - at)) : 0;
      std::memset(out + done, 0, zeros);
      return done + zeros;
    }
    if (data < 0) return done + readData(uint64_t(at), out + done, n - done);  // no hole support
    if (data > at) {
      const size_t zeros = size_t(std::min<uint64_t>(n - done, uint64_t(data - at)));
      std::memset(out + done, 0, zeros);
      done += zeros;
      continue;
    }
    const off_t hole = ::lseek(fd_, at, SEEK_HOLE);
    const size_t want = hole > at ? size_t(std::min<uint64_t>(n - done, uint64_t(hole - at))) : n - done;
    const size_t got = readData(uint64_t(at), out + done, want);
    done += got;
    if (got < want) break;
  }
  return done;
}

}  // namespace jar32
