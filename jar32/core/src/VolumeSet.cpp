#include "VolumeSet.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Bytes.h"
#include "Checksum.h"
#include "Format.h"
#include "jar32/Errors.h"
#include "jar32/Records.h"

namespace jar32 {
namespace {

constexpr char kMagic[8] = {'J', 'A', 'R', '3', '2', 'V', 'O', 'L'};
constexpr size_t kOpenVolumes = 16;

[[noreturn]] void badSet(const std::string& what) {
  throw JarError(kCrcError, "Damaged volume set: " + what);
}

bool footerAt(const File& f, uint64_t fileSize, VolumeFooter& out) {
  uint8_t b[kVolumeFooterSize];
  return fileSize >= kVolumeFooterSize && f.readAt(fileSize - kVolumeFooterSize, b, sizeof b) &&
         VolumeFooter::decode(b, out);
}

// The first volume's footer, made from the first intact footer of a later volume, when the
// first one's is damaged: the files before that volume must add up to its offset.
bool firstFooterFromLater(const std::string& first, uint64_t firstSize, VolumeFooter& out) {
  uint64_t at = firstSize - kVolumeFooterSize;
  for (uint32_t index = 1; index < kMaxVolumes; ++index) {
    const std::string name = volumeName(first, index);
    struct stat st;
    if (::stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) <= kVolumeFooterSize)
      return false;
    VolumeFooter later;
    if (readVolumeFooter(name, later)) {
      if (later.index != index || later.offset != at || later.volumeSize != firstSize ||
          later.total < at)
        return false;
      out = later;
      out.index = 0;
      out.offset = 0;
      return true;
    }
    at += uint64_t(st.st_size) - kVolumeFooterSize;
  }
  return false;
}

}  // namespace

void VolumeFooter::encode(uint8_t* p) const {
  std::memset(p, 0, kVolumeFooterSize);
  std::memcpy(p, kMagic, sizeof kMagic);
  putU16(p + 8, 1);
  putU16(p + 10, uint16_t(kVolumeFooterSize));
  putU32(p + 12, index);
  std::memcpy(p + 16, setId, kSetIdBytes);
  putU64(p + 32, offset);
  putU64(p + 40, total);
  putU64(p + 48, volumeSize);
  putU32(p + 76, crc32(p, 76));
}

bool VolumeFooter::decode(const uint8_t* p, VolumeFooter& f) {
  if (std::memcmp(p, kMagic, sizeof kMagic) != 0 || getU16(p + 8) != 1 ||
      getU16(p + 10) != kVolumeFooterSize || getU32(p + 76) != crc32(p, 76))
    return false;
  for (size_t i = 56; i < 76; ++i)
    if (p[i]) return false;
  f.index = getU32(p + 12);
  std::memcpy(f.setId, p + 16, kSetIdBytes);
  f.offset = getU64(p + 32);
  f.total = getU64(p + 40);
  f.volumeSize = getU64(p + 48);
  return f.index < kMaxVolumes && f.offset <= f.total;
}

std::string volumeName(const std::string& first, uint32_t index) {
  if (index == 0) return first;
  char digits[16];
  std::snprintf(digits, sizeof digits, "%02u", index);
  return first + digits;
}

bool readVolumeFooter(const std::string& path, VolumeFooter& out) {
  try {
    File f = File::openRead(path);
    return footerAt(f, f.size(), out);
  } catch (const JarError&) {
    return false;
  }
}

VolumeSet::Fd::~Fd() {
  if (fd >= 0) ::close(fd);
}

std::shared_ptr<VolumeSet> VolumeSet::find(const File& first, const VolumeFooter& footer,
                                           bool firstRebuilt) {
  auto set = std::make_shared<VolumeSet>();
  if (firstRebuilt) set->rebuilt_.push_back(0);
  set->total_ = footer.total;
  set->volumeSize_ = footer.volumeSize;
  std::memcpy(set->setId_, footer.setId, kSetIdBytes);
  struct stat st;
  if (::fstat(first.fd(), &st) != 0 || uint64_t(st.st_size) <= kVolumeFooterSize)
    badSet(first.path() + " holds no data");
  Volume v{first.path(), 0, uint64_t(st.st_size) - kVolumeFooterSize, st.st_dev, st.st_ino};
  uint64_t at = v.length;
  if (at > set->total_) badSet(first.path() + " is larger than its set");
  set->volumes_.push_back(std::move(v));
  // Volumes are looked up one by one, so a footer claiming a huge set costs nothing until
  // its files exist.
  for (uint32_t index = 1; at < set->total_; ++index) {
    if (index >= kMaxVolumes) badSet("more than " + std::to_string(kMaxVolumes) + " volumes");
    const std::string name = volumeName(first.path(), index);
    if (::stat(name.c_str(), &st) != 0 && errno == ENOENT)
      throw JarError(kOpenError, "Volume " + std::to_string(index + 1) + " of the archive is missing: " + name);
    File f = File::openRead(name);
    if (::fstat(f.fd(), &st) != 0 || !S_ISREG(st.st_mode))
      throw JarError(kOpenError, "Cannot open volume " + name + ": not a regular file");
    const uint64_t size = uint64_t(st.st_size);
    VolumeFooter vf;
    if (footerAt(f, size, vf)) {
      if (std::memcmp(vf.setId, footer.setId, kSetIdBytes) != 0)
        badSet(name + " is not a volume of this archive");
      if (vf.index != index || vf.offset != at || vf.total != set->total_ || size <= kVolumeFooterSize ||
          size - kVolumeFooterSize > set->total_ - at)
        badSet(name + " is out of place in its set");
    } else {
      // A damaged footer: the set says what it was, if the file fits in the place. Whether
      // its bytes are the set's is for the records and the archive's own checks to tell.
      if (size <= kVolumeFooterSize || size - kVolumeFooterSize > set->total_ - at)
        badSet(name + " is not a volume of this archive");
      set->rebuilt_.push_back(index);
    }
    Volume next{name, at, size - kVolumeFooterSize, st.st_dev, st.st_ino};
    at += next.length;
    set->volumes_.push_back(std::move(next));
  }
  set->open_.resize(set->volumes_.size());
  return set;
}

std::shared_ptr<VolumeSet::Fd> VolumeSet::fdFor(size_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_[index]) {
    auto it = std::find(recent_.begin(), recent_.end(), index);
    if (it != recent_.end()) std::rotate(it, it + 1, recent_.end());
    return open_[index];
  }
  const Volume& v = volumes_[index];
  auto fd = std::make_shared<Fd>();
  fd->fd = ::open(v.path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd->fd < 0 || ::fstat(fd->fd, &st) != 0)
    throw JarError(kOpenError, "Cannot open volume " + v.path + ": " + std::strerror(errno));
  if (st.st_dev != v.device || st.st_ino != v.inode)
    throw JarError(kOpenError, "Volume " + v.path + " was replaced while the archive was read");
  if (recent_.size() >= kOpenVolumes) {
    open_[recent_.front()].reset();  // closed when its last reader is done
    recent_.erase(recent_.begin());
  }
  open_[index] = fd;
  recent_.push_back(index);
  return fd;
}

size_t VolumeSet::readSomeAt(uint64_t offset, void* out, size_t n) const {
  if (offset >= total_ || n == 0) return 0;
  auto it = std::upper_bound(volumes_.begin(), volumes_.end(), offset,
                             [](uint64_t o, const Volume& v) { return o < v.offset; });
  const size_t index = size_t(it - volumes_.begin()) - 1;
  const Volume& v = volumes_[index];
  const uint64_t within = offset - v.offset;
  if (within >= v.length) return 0;
  n = size_t(std::min<uint64_t>(n, v.length - within));
  const auto fd = fdFor(index);
  for (;;) {
    const ssize_t got = ::pread(fd->fd, out, n, off_t(within));
    if (got >= 0) return size_t(got);
    if (errno != EINTR)
      throw JarError(kOpenError, "Cannot read volume " + v.path + ": " + std::strerror(errno));
  }
}

File openArchiveFile(const std::string& path) {
  File f = File::openRead(path);
  VolumeFooter footer;
  const uint64_t size = f.size();
  if (!footerAt(f, size, footer)) {
    if (size <= kVolumeFooterSize || !firstFooterFromLater(path, size, footer)) return f;
    f.readVolumes(VolumeSet::find(f, footer, true));
    return f;
  }
  // The footer says which volume this is (the header at the start may be damaged: recovery
  // records repair it).
  if (footer.index != 0)
    throw JarError(kOpenError, path + " is volume " + std::to_string(footer.index + 1) +
                                   " of a set; give the name of its first volume");
  f.readVolumes(VolumeSet::find(f, footer));
  return f;
}

void noteRebuiltFooters(const File& file, RecordsInfo& info) {
  const VolumeSet* set = file.volumes();
  if (!set) return;
  for (uint32_t index : set->rebuiltFooters()) {
    info.rebuiltFooters.push_back(set->volumes()[index].path);
    if (!info.checked) continue;
    info.damagedBytes += kVolumeFooterSize;
    info.repairableBytes += kVolumeFooterSize;
  }
}

}  // namespace jar32
