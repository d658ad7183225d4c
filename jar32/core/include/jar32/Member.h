// What the engine reports about an archive and its stored versions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jar32/Records.h"

namespace jar32 {

/// Chapters first..last (inclusive, 1-based). In deleteChapters() a 0 bound is open:
/// {3,0} = chapter 3 onwards, {0,5} = up to chapter 5, {0,0} = all.
struct ChapterRange {
  uint32_t first = 1;
  uint32_t last = 1;
  bool contains(uint32_t chapter) const { return first <= chapter && chapter <= last; }
  bool operator==(const ChapterRange&) const = default;
};

enum class MemberKind : uint8_t { File = 0, Folder = 1, Symlink = 2 };

/// DOS-style attribute bits kept per member (the listing prints them as four characters).
enum Attribute : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
};

/// An extended attribute of a file, folder or link ("user.comment" and its value).
struct ExtendedAttribute {
  std::string name;
  std::string value;
  bool operator==(const ExtendedAttribute&) const = default;
};

/// One stored version of a file, folder or link.
struct MemberInfo {
  std::string name;          // backslashes, no leading backslash: "docs\\guide.txt"; folder: "docs"
  MemberKind kind = MemberKind::File;
  uint64_t size = 0;         // bytes of data (0 for folders and links)
  int64_t mtime = 0;         // Unix seconds
  uint32_t mtimeNsec = 0;    // nanoseconds within that second
  bool preciseTime = true;   // false: only whole seconds are known (archives of format 1)
  uint32_t mode = 0644;      // POSIX permission bits (07777)
  uint32_t attributes = 0;   // Attribute bits
  std::string linkTarget;    // symlinks: the target exactly as stored
  bool hasOwner = false;     // uid, gid, owner and group below were recorded
  uint32_t uid = 0, gid = 0;
  std::string owner, group;  // the names of uid and gid where they had one ("" otherwise)
  bool sparse = false;       // files: the file had holes; extraction leaves long zero runs out
  std::string hardLinkTarget;  // files: another member that is the same file (a hard link)
  std::vector<ExtendedAttribute> xattrs;  // recorded only when asked for (-ja)
  ChapterRange chapters;     // chapters this version belongs to (set by the engine)
  uint64_t packedSize = 0;   // share of compressed bytes (set by the engine, for the ratio)
};

/// Whether two versions carry the same modification time, to the precision both know.
inline bool sameModificationTime(const MemberInfo& a, const MemberInfo& b) {
  if (a.mtime != b.mtime) return false;
  return !a.preciseTime || !b.preciseTime || a.mtimeNsec == b.mtimeNsec;
}

/// Archive-wide flags (the listing's flag words).
enum ArchiveFlag : uint32_t {
  kFlagLocked = 0x01,           // "LOCKED": no change allowed
  kFlagAutoLock = 0x02,         // "AUTO_LOCK": the next change locks the archive
  kFlagRecoveryRecords = 0x04,  // "RECOVERY RECORDS": Reed-Solomon parity at the end (-hk)
  kFlagSecured = 0x08,          // "SECURED": a security envelope signs the archive
  kFlagHidden = 0x10,           // "HIDDEN": directory encrypted, listing needs the password
  kFlagProtected = 0x20,        // "PROTECTED": a password protects the archive
  kFlagEncrypted = 0x40,        // "ENCRYPTED": member data is encrypted
};

struct ChapterComment {
  uint32_t chapter = 0;
  std::string text;
};

/// The security envelope of an archive, as found when it was opened.
struct EnvelopeInfo {
  bool present = false;
  bool verified = false;          // false when the test was skipped (-he)
  uint8_t publicKey[32] = {};     // the signer's Ed25519 key
  std::string signerName;         // as the signer wrote it (at most 127 bytes)
  int64_t signedAt = 0;           // Unix seconds
};

struct ArchiveInfo {
  uint32_t formatVersion = 2;       // of the file as read (1 or 2); changes always write 2
  int64_t created = 0;              // Unix seconds
  int64_t modified = 0;             // Unix seconds
  uint32_t flags = 0;               // ArchiveFlag bits
  uint32_t lockedChapters = 0;      // chapters 1..lockedChapters are locked (-jl1); 0 = none
  int protectionMethod = -1;        // -1 none, 0 XChaCha20-Poly1305, 1 GOST 28147-89
  std::string comment;              // bytes as given (at most 4096); "" = none
  uint32_t chapterCount = 1;        // chapters are 1..chapterCount
  std::vector<ChapterComment> chapterComments;  // sorted by chapter, only non-empty ones
  uint64_t packedBytes = 0;         // compressed bytes of all member data
  uint64_t versionCount = 0;        // stored versions, those left out of members() included
  uint64_t unpackedBytes = 0;       // their data bytes together
  uint64_t fileSize = 0;            // size of the archive file
  bool directoryRebuilt = false;    // directory was damaged; members were found by scanning
  EnvelopeInfo envelope;            // kFlagSecured when present
  uint32_t volumeCount = 1;         // files of a volume set (1: one file)
  uint64_t volumeSize = 0;          // a set's volume size (0: one file)
  RecordsInfo records;              // kFlagRecoveryRecords when present
};

}  // namespace jar32
