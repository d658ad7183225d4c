#include "VolumeWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Bytes.h"
#include "Crypto.h"
#include "FaultInjection.h"
#include "FileIo.h"
#include "Reader.h"
#include "VolumeSet.h"
#include "Writer.h"
#include "jar32/Interrupt.h"

namespace jar32 {
namespace {

/// A volume written under a temporary name, not yet in place.
struct Pending {
  std::string temp, final;
  bool mayReplace = false;
};

/// The set that stands at `path` now (its set id; the files of its volumes as it reads, also
/// those whose footer was damaged and rebuilt), if any.
bool setAt(const std::string& path, VolumeFooter& footer, std::vector<std::string>& files) {
  try {
    File f = openArchiveFile(path);
    if (const VolumeSet* set = f.volumes()) {
      std::memcpy(footer.setId, set->setId(), kSetIdBytes);
      for (const auto& v : set->volumes()) files.push_back(v.path);
      return true;
    }
  } catch (const JarError&) {
  }
  return readVolumeFooter(path, footer) && footer.index == 0;
}

bool belongsTo(const std::string& path, const uint8_t* setId) {
  VolumeFooter f;
  return readVolumeFooter(path, f) && std::memcmp(f.setId, setId, kSetIdBytes) == 0;
}

void place(const Pending& p) {
  if (p.mayReplace) {
    if (::rename(p.temp.c_str(), p.final.c_str()) == 0) return;
  } else {
    if (::renameat2(AT_FDCWD, p.temp.c_str(), AT_FDCWD, p.final.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
      if (::link(p.temp.c_str(), p.final.c_str()) == 0) {
        ::unlink(p.temp.c_str());
        return;
      }
    }
    if (errno == EEXIST)
      throw JarError(kFatal, "Archive is being changed by another program: " + p.final +
                                 " was created meanwhile");
  }
  throw JarError(kWriteError, "Cannot create " + p.final + ": " + std::strerror(errno));
}

class VolumeCutter {
 public:
  VolumeCutter(ArchiveWriter& writer, const VolumeSettings& s, uint64_t volumeSize)
      : writer_(writer), s_(s), volumeSize_(volumeSize) {
    randomBytes(setId_, sizeof setId_);
    hadSet_ = setAt(writer.finalPath(), old_, oldFiles_);
  }
  ~VolumeCutter() {
    for (const Pending& p : pending_) {
      ::unlink(p.temp.c_str());
      unregisterCleanupPath(p.temp.c_str());
    }
  }

  std::vector<std::string> run(Progress* progress) {
    File in = File::openRead(writer_.tempPath());
    const uint64_t total = in.size();
    std::vector<std::string> written;
    Bytes buffer(1 << 20);
    uint64_t at = 0;
    for (uint32_t index = 0; at < total; ++index) {
      if (progress && progress->interrupted()) throw JarError(kInterrupted, "Interrupted");
      if (index >= kMaxVolumes)
        throw JarError(kBadParams, "The archive would need more than " + std::to_string(kMaxVolumes) +
                                       " volumes; give a larger volume size");
      const std::string name = volumeName(writer_.finalPath(), index);
      if (index > 0 && s_.nextVolume && !s_.nextVolume(name, index + 1))
        throw JarError(kFatal, "Stopped before volume " + std::to_string(index + 1) + " (" + name +
                                   "); the archive was not changed");
      const uint64_t capacity = capacityFor(name);
      const uint64_t length = std::min(capacity - kVolumeFooterSize, total - at);
      if (index == 0 && length == total) return {};  // it fits into one file
      if (index == 0 && s_.autoSize) volumeSize_ = std::min(capacity, total + kVolumeFooterSize);
      Pending p{makeTempName(folderOf(name)), name, mayReplace(name, index)};
      registerCleanupPath(p.temp.c_str());
      pending_.push_back(p);
      writeVolume(in, p.temp, index, at, length, total, buffer);
      if (s_.placeEach) {
        place(p);
        unregisterCleanupPath(p.temp.c_str());
        pending_.pop_back();
      }
      written.push_back(name);
      at += length;
    }
    // The first volume, which readers open, goes in place last.
    while (!pending_.empty()) {
      fault::point("volume");
      place(pending_.back());
      unregisterCleanupPath(pending_.back().temp.c_str());
      pending_.pop_back();
    }
    syncFolder(folderOf(writer_.finalPath()));
    return written;
  }

  /// Removes the volumes of the set that stood at the final path from `from` on.
  void removeOldVolumes(uint32_t from) const {
    if (!hadSet_) return;
    for (uint32_t index = std::max(from, 1u); index < kMaxVolumes; ++index) {
      const std::string name = volumeName(writer_.finalPath(), index);
      if (!wasOld(name)) break;
      ::unlink(name.c_str());
    }
  }

 private:
  uint64_t capacityFor(const std::string& name) const {
    uint64_t capacity = s_.autoSize ? UINT64_MAX : volumeSize_;
    if (s_.autoSize || s_.reserve) {
      const uint64_t free = freeSpace(folderOf(name));
      capacity = std::min(capacity, free > s_.reserve ? free - s_.reserve : 0);
    }
    if (capacity < kMinVolumeSize)
      throw JarError(kWriteError, "Not enough free space for volume " + name + ": " +
                                      std::to_string(freeSpace(folderOf(name))) + " bytes free, " +
                                      std::to_string(s_.reserve) + " to be kept free");
    return capacity;
  }

  /// A file may stand where a volume goes only when it belongs to the set being replaced.
  bool mayReplace(const std::string& name, uint32_t index) const {
    if (!pathExists(name)) return false;
    if (index == 0 && writer_.replacesExisting()) return true;
    if (hadSet_ && (index == 0 || wasOld(name))) return writer_.replacesExisting();
    throw JarError(kFatal, name + " is in the way of a volume and belongs to no set being replaced; "
                              "nothing was changed");
  }

  bool wasOld(const std::string& name) const {
    return std::find(oldFiles_.begin(), oldFiles_.end(), name) != oldFiles_.end() ||
           belongsTo(name, old_.setId);
  }

  void writeVolume(const File& in, const std::string& temp, uint32_t index, uint64_t at,
                   uint64_t length, uint64_t total, Bytes& buffer) const {
    File out = File::create(temp);
    for (uint64_t done = 0; done < length;) {
      const size_t want = size_t(std::min<uint64_t>(buffer.size(), length - done));
      if (!in.readAt(at + done, buffer.data(), want))
        throw JarError(kInternal, "The new archive is shorter than it was written");
      out.write(buffer.data(), want);
      done += want;
    }
    VolumeFooter f;
    f.index = index;
    std::memcpy(f.setId, setId_, kSetIdBytes);
    f.offset = at;
    f.total = total;
    f.volumeSize = volumeSize_;
    uint8_t footer[kVolumeFooterSize];
    f.encode(footer);
    out.write(footer, sizeof footer);
    writer_.applyOwnership(out.fd());
    out.sync();
    out.close();
  }

  ArchiveWriter& writer_;
  const VolumeSettings& s_;
  uint64_t volumeSize_;
  uint8_t setId_[kSetIdBytes];
  VolumeFooter old_;
  std::vector<std::string> oldFiles_;
  bool hadSet_ = false;
  std::vector<Pending> pending_;
};

}  // namespace

uint64_t freeSpace(const std::string& folder) {
  struct statvfs st;
  if (::statvfs(folder.c_str(), &st) != 0) return 0;
  return uint64_t(st.f_bavail) * uint64_t(st.f_frsize);
}

std::vector<std::string> placeArchive(ArchiveWriter& writer, const ArchiveReader* source,
                                      const VolumeSettings& settings, Progress* progress) {
  uint64_t volumeSize = 0;
  bool split = false;
  switch (settings.layout) {
    case VolumeSettings::Layout::Keep:
      split = source && source->info().volumeCount > 1;
      volumeSize = split ? std::max(source->info().volumeSize, kMinVolumeSize) : 0;
      break;
    case VolumeSettings::Layout::Single: break;
    case VolumeSettings::Layout::Split:
      split = true;
      volumeSize = settings.autoSize ? 0 : settings.size;
      if (!settings.autoSize && volumeSize < kMinVolumeSize)
        throw JarError(kBadParams, "A volume must hold at least " + std::to_string(kMinVolumeSize) + " bytes");
      break;
  }
  VolumeSettings fixed = settings;
  if (settings.layout == VolumeSettings::Layout::Keep) fixed.autoSize = false;
  VolumeCutter cutter(writer, fixed, volumeSize);
  std::vector<std::string> files;
  if (split) files = cutter.run(progress);
  if (files.empty()) {  // one file
    writer.commit();
    files.push_back(writer.finalPath());
  }
  cutter.removeOldVolumes(uint32_t(files.size()));
  return files;
}

}  // namespace jar32
