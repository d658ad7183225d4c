// Thin POSIX file wrapper whose failures become JarError with the file's name.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace jar32 {

class VolumeSet;

/// Bytes read in place of what a file holds (sectors repaired by recovery records), and the
/// size the file reads as (a cut file reads as long as it was).
struct ByteOverlay {
  std::map<uint64_t, std::vector<uint8_t>> pieces;  // by offset, never overlapping
  uint64_t size = 0;
};

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  /// Opens for reading; kOpenError on failure.
  static File openRead(const std::string& path);
  /// Creates a new file exclusively (O_EXCL), readable and writable by its owner only;
  /// kWriteError on failure.
  static File create(const std::string& path);

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  uint64_t size() const;

  /// Reads exactly n bytes at offset; false if the file ends first (kCrcError/kOpenError on
  /// an I/O error).
  bool readAt(uint64_t offset, void* out, size_t n) const;
  /// Reads up to n bytes at offset; returns how many (0 at the end).
  size_t readSomeAt(uint64_t offset, void* out, size_t n) const;
  /// Readers see only the first n bytes from now on (what an envelope at the end covers).
  void limitTo(uint64_t n) { limit_ = n; }
  /// Reads come from the volumes of a set (fd() stays the first volume's).
  void readVolumes(std::shared_ptr<const VolumeSet> set) { volumes_ = std::move(set); }
  const VolumeSet* volumes() const { return volumes_.get(); }
  /// Reads see these bytes in place of the file's (see ByteOverlay).
  void readOverlay(std::shared_ptr<const ByteOverlay> overlay) { overlay_ = std::move(overlay); }
  uint64_t limit() const { return limit_; }
  /// Appends at the write position.
  void write(const void* data, size_t n);
  uint64_t writePosition() const { return writePos_; }
  void sync();
  void close();

 private:
  int fd_ = -1;
  std::string path_;
  uint64_t writePos_ = 0;
  uint64_t limit_ = UINT64_MAX;
  std::shared_ptr<const VolumeSet> volumes_;
  std::shared_ptr<const ByteOverlay> overlay_;
  size_t readStoredAt(uint64_t offset, void* out, size_t n) const;
};

/// fsyncs a folder so a rename or unlink in it is durable.
void syncFolder(const std::string& folder);
std::string folderOf(const std::string& path);
std::string fileNameOf(const std::string& path);
bool pathExists(const std::string& path);
/// The path with every symbolic link of its last part followed (a link to a link to a file
/// gives the file's path; a missing target gives where it would be). Throws kOpenError for a
/// loop of links.
std::string followLinks(const std::string& path);
/// The process's file creation mask.
unsigned processUmask();

}  // namespace jar32
