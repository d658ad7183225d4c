// An archive cut into volumes (name.j, name.j01, name.j02, ...): the files read as one stream.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "FileIo.h"

namespace jar32 {

inline constexpr size_t kVolumeFooterSize = 80;
inline constexpr uint32_t kMaxVolumes = 9999;
inline constexpr uint64_t kMinVolumeSize = 16 * 1024;
inline constexpr size_t kSetIdBytes = 16;

/// The footer at the end of every volume.
struct VolumeFooter {
  uint32_t index = 0;        // 0 = the first volume
  uint8_t setId[kSetIdBytes] = {};
  uint64_t offset = 0;       // of this volume's bytes in the archive
  uint64_t total = 0;        // the archive's size: all volumes' bytes together
  uint64_t volumeSize = 0;   // what the set was cut to (file size, footer included)

  void encode(uint8_t* out) const;
  /// False when the bytes are no intact footer.
  static bool decode(const uint8_t* in, VolumeFooter& out);
};

/// The name of volume `index` of the set whose first volume is `first` (index 0 is `first`,
/// then two or more digits are appended: name.j01, ..., name.j99, name.j100).
std::string volumeName(const std::string& first, uint32_t index);

/// The footer of a file when it is a volume (nothing otherwise, also when it cannot be read).
bool readVolumeFooter(const std::string& path, VolumeFooter& out);

class VolumeSet {
 public:
  struct Volume {
    std::string path;
    uint64_t offset = 0, length = 0;  // its bytes in the archive
    dev_t device = 0;
    ino_t inode = 0;
  };

  /// Finds the volumes after the first (open as `first`, whose footer is given). A missing
  /// volume throws kOpenError naming it; one of another set or out of place throws kCrcError.
  /// A volume whose footer is damaged is taken with the footer it must have had when its file
  /// fits there (firstRebuilt: the first volume's, made from a later one's).
  static std::shared_ptr<VolumeSet> find(const File& first, const VolumeFooter& footer,
                                         bool firstRebuilt = false);

  uint64_t size() const { return total_; }
  size_t readSomeAt(uint64_t offset, void* out, size_t n) const;
  const std::vector<Volume>& volumes() const { return volumes_; }
  const uint8_t* setId() const { return setId_; }
  uint64_t volumeSize() const { return volumeSize_; }
  /// Volumes (by index) whose footer was damaged and was rebuilt from the others.
  const std::vector<uint32_t>& rebuiltFooters() const { return rebuilt_; }

 private:
  struct Fd {
    int fd = -1;
    ~Fd();
  };
  std::shared_ptr<Fd> fdFor(size_t index) const;

  std::vector<Volume> volumes_;
  std::vector<uint32_t> rebuilt_;
  uint64_t total_ = 0;
  uint64_t volumeSize_ = 0;
  uint8_t setId_[kSetIdBytes] = {};
  mutable std::mutex mutex_;
  mutable std::vector<std::shared_ptr<Fd>> open_;  // per volume, at most kOpenVolumes open
  mutable std::vector<size_t> recent_;             // open volumes, oldest first
};

/// Opens an archive: one file, or the volume set whose first volume `path` is. A later volume
/// of a set given instead of the first throws kOpenError.
File openArchiveFile(const std::string& path);

struct RecordsInfo;
/// Adds the volume footers that `file`'s set rebuilt to what its records found: damage, which
/// the other volumes repaired.
void noteRebuiltFooters(const File& file, RecordsInfo& info);

}  // namespace jar32
