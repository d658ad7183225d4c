// Recovery records: Reed-Solomon parity over an archive's bytes (-hk), what a reader found in
// them, and the repair of a damaged archive (-hx in memory, -jr on disk).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jar32 {

/// Default share of the archive that -hk spends on records, in percent; -hk<N> takes 1..50.
inline constexpr unsigned kDefaultRecordsShare = 3;
inline constexpr unsigned kMaxRecordsShare = 50;

/// How a reader uses the records of an archive it opens.
enum class RecordsUse {
  Locate,  // find them and leave them out of the archive (no check: l, e and x without -hx)
  Check,   // check every sector against them (t): damage is reported, nothing repaired
  Repair,  // check, and read the archive as the records repair it (-hx, -jr, changes, rh)
};

/// A damaged stretch of the archive file as the records saw it.
struct DamagedRange {
  uint64_t offset = 0, length = 0;
  bool repairable = false;
};

struct RecordsInfo {
  bool present = false;
  unsigned share = 0;              // percent the records were made for
  uint64_t recordsBytes = 0;       // bytes the records take at the end of the file
  uint64_t coveredBytes = 0;       // bytes they protect (the archive, its envelope included)
  bool checked = false;            // every sector was checked (Check, Repair)
  uint64_t damagedBytes = 0;       // of the archive and the records, in whole sectors
  uint64_t repairableBytes = 0;    // of those, what the records can repair
  uint64_t unrepairableBytes = 0;  // and what they cannot
  bool repaired = false;           // Repair: the archive reads as repaired (in memory)
  uint64_t repairedBytes = 0;      // of the archive proper, repaired in memory
  /// Stretches found damaged, in file order (at most a few hundred are kept; damagedBytes
  /// counts them all).
  std::vector<DamagedRange> ranges;
  /// Volumes of a set whose footer was damaged and was rebuilt from the other volumes (also
  /// without records); with checked records their bytes count as repairable damage.
  std::vector<std::string> rebuiltFooters;
  bool damaged() const { return damagedBytes != 0; }
  bool repairable() const { return damagedBytes != 0 && unrepairableBytes == 0; }
};

class Progress;

/// -jr: when the recovery records of `path` can repair all the damage they find, writes the
/// repaired archive (records made anew) beside it, checks that it reads clean (records,
/// security envelope unless testEnvelope is false, every member when the password opens
/// them) and only then puts it in place of the damaged one (a set again as a set). Returns what
/// the records found; nothing is written when there was nothing to repair or the damage is
/// past repair. Throws JarError like a change (a lock held by another program: kFatal).
RecordsInfo repairArchive(const std::string& path, const std::string& password,
                          bool testEnvelope, Progress* progress);

}  // namespace jar32
