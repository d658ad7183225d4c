// -jr: an archive repaired by its recovery records replaces the damaged one, after it tested
// clean; and how changes treat records.
#include <sys/file.h>

#include <algorithm>

#include "Bytes.h"
#include "FileIo.h"
#include "Reader.h"
#include "RecordsChange.h"
#include "RecoveryRecords.h"
#include "VolumeSet.h"
#include "VolumeWriter.h"
#include "Writer.h"
#include "jar32/Interrupt.h"

namespace jar32 {

void noteRepairs(const RecordsInfo& r, const std::string& path, Progress* progress) {
  if (!progress || !r.damaged()) return;
  if (r.repaired)
    progress->warning("The archive " + path + " is damaged: its recovery records repaired " +
                      std::to_string(r.repairedBytes) + " bytes, which were read repaired");
  if (r.unrepairableBytes)
    progress->warning("The archive " + path + " has " + std::to_string(r.unrepairableBytes) +
                      " damaged bytes that its recovery records cannot repair");
}

unsigned recordsShareFor(const ArchiveReader* source, const WriteSettings& s) {
  if (s.recordsShare >= 0) return unsigned(std::min<int>(s.recordsShare, int(kMaxRecordsShare)));
  return source && source->info().records.present ? source->info().records.share : 0;
}

RecordsInfo repairArchive(const std::string& path, const std::string& password, bool testEnvelope,
                          Progress* progress) {
  File damaged = openArchiveFile(path);
  if (::flock(damaged.fd(), LOCK_EX | LOCK_NB) != 0)
    throw JarError(kFatal, "Archive is being changed by another program: " + path);
  const RecordsInfo found = openRecords(damaged, RecordsUse::Repair);
  // A set without records whose footers were rebuilt is written anew as well.
  const bool footersOnly = !found.present && !found.rebuiltFooters.empty();
  if (!footersOnly && (!found.present || !found.damaged() || !found.repairable())) return found;
  const uint64_t covered = found.present ? found.coveredBytes : damaged.size();

  ArchiveWriter writer(path, "", true);
  registerCleanupPath(writer.tempPath().c_str());
  {
    File out = File::create(writer.tempPath());
    Bytes buffer(1 << 20);
    for (uint64_t at = 0; at < covered;) {
      const size_t want = size_t(std::min<uint64_t>(buffer.size(), covered - at));
      if (!damaged.readAt(at, buffer.data(), want))
        throw JarError(kCrcError, "The archive " + path + " cannot be read; it is unchanged");
      out.write(buffer.data(), want);
      at += want;
    }
    writer.applyOwnership(out.fd());
    out.sync();
  }
  if (found.present) appendRecoveryRecords(writer.tempPath(), found.share);

  // Only an archive that reads clean replaces the damaged one.
  try {
    auto check = ArchiveReader::open(writer.tempPath(), password, false, testEnvelope, RecordsUse::Check);
    if (check->info().records.damaged() || check->info().directoryRebuilt)
      throw JarError(kCrcError, "it is still damaged");
    if (!check->header().protectedArchive || check->keys()) check->test(nullptr);
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) throw;
    throw JarError(kCrcError, std::string("The repaired archive does not test clean (") + e.what() +
                                  "); the damaged archive is unchanged");
  }
  VolumeSettings layout;
  layout.layout = VolumeSettings::Layout::Single;
  if (const VolumeSet* set = damaged.volumes(); set && set->volumes().size() > 1) {
    layout.layout = VolumeSettings::Layout::Split;
    layout.size = std::max(set->volumeSize(), kMinVolumeSize);
  }
  placeArchive(writer, nullptr, layout, progress);
  return found;
}

}  // namespace jar32
