// A source file on disk, opened once for all its data: never through a link, never waiting on
// a FIFO, and known to be the same file (and unchanged) from its check to the end of its read.
#pragma once

#include <cstdint>
#include <string>

namespace jar32 {

/// What fstat says about an open source.
struct HostState {
  uint64_t device = 0, inode = 0;
  uint64_t size = 0;
  int64_t mtime = 0, ctime = 0;
  uint32_t mtimeNsec = 0, ctimeNsec = 0;
  uint32_t mode = 0, uid = 0, gid = 0;
  bool sparse = false;  // fewer blocks allocated than its size needs
  bool sameFile(const HostState& o) const { return device == o.device && inode == o.inode; }
  /// Same size, modification and change time: nothing wrote to it in between.
  bool unchangedSince(const HostState& o) const {
    return sameFile(o) && size == o.size && mtime == o.mtime && mtimeNsec == o.mtimeNsec &&
           ctime == o.ctime && ctimeNsec == o.ctimeNsec;
  }
};

class HostFile {
 public:
  /// Throws JarError(kOpenError) with the reason: cannot open it, it is a link, a FIFO or
  /// anything else but a regular file.
  static HostFile open(const std::string& path);
  /// Opens the file without looking at it (a file that was a regular file a moment ago, to be
  /// read before it is looked at): confirm() must follow before anything about it is trusted.
  static HostFile openUnconfirmed(const std::string& path);
  /// Looks at the opened file as open() does. Throws JarError(kOpenError) unless it is a
  /// regular file.
  void confirm();
  HostFile() = default;
  ~HostFile();
  HostFile(HostFile&& other) noexcept;
  HostFile& operator=(HostFile&& other) noexcept;
  HostFile(const HostFile&) = delete;
  HostFile& operator=(const HostFile&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  const HostState& opened() const { return opened_; }
  /// fstat now. Throws kOpenError.
  HostState now() const;
  /// Up to n bytes at offset (fewer only at the end of the file); holes of a sparse file are
  /// not read but filled with zeros. Throws kOpenError on a read error.
  size_t readAt(uint64_t offset, uint8_t* out, size_t n) const;
  void close();

 private:
  size_t readData(uint64_t offset, uint8_t* out, size_t n) const;
  int fd_ = -1;
  std::string path_;
  HostState opened_;
};

}  // namespace jar32
