// Opening an archive, loading (or rebuilding) its directory, and decoding member data.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Codec.h"
#include "Directory.h"
#include "FileIo.h"
#include "Format.h"
#include "jar32/Progress.h"
#include "jar32/Records.h"

namespace jar32 {

/// A chapter bound that stands for the archive's last chapter.
inline constexpr uint32_t kLastChapter = 0xFFFFFFFF;

class ArchiveReader {
 public:
  /// See Archive::open for the errors.
  /// forceScan: ignore the directory and rebuild it by scanning (rh); a damaged file header
  /// is then taken as that of an unprotected archive.
  /// testEnvelope false (-he): a security envelope is left out without being verified.
  /// records: how recovery records are used (they are checked and applied before anything
  /// else is read, the envelope included).
  /// keep: only versions in these chapters are kept (see OpenOptions::chapters; a bound of
  /// kLastChapter is the archive's last chapter). Changes keep them all.
  static std::unique_ptr<ArchiveReader> open(const std::string& path, const std::string& password,
                                             bool forceScan = false, bool testEnvelope = true,
                                             RecordsUse records = RecordsUse::Locate,
                                             ChapterRange keep = {0, 0});

  const std::string& path() const { return file_.path(); }
  const File& file() const { return file_; }
  const FileHeader& header() const { return header_; }
  const Keys* keys() const { return keys_.get(); }
  std::shared_ptr<Keys> sharedKeys() const { return keys_; }
  size_t tagBytes() const { return tagBytesFor(header_.method); }
  /// The entries' info holds the sizes and kinds only (names and texts were moved to members()).
  const Directory& directory() const { return dir_; }
  const ArchiveInfo& info() const { return dir_.info; }
  const std::vector<MemberInfo>& members() const { return members_; }

  /// The header of a directory block, checked against the directory.
  BlockHeader blockHeader(uint32_t block) const;
  /// kMsgPasswordNeeded unless the data of this archive can be read.
  void requireDataKeys() const;

  void read(const std::vector<size_t>& which, MemberVisitor& visitor, bool skipBroken) const;
  void test(Progress* progress) const;

 private:
  ArchiveReader() = default;
  /// Tests every member whose data lies in one block, streaming the blocks on several cores;
  /// false (nothing told yet) when some member's data does not, so read() must.
  bool testByBlocks(MemberVisitor& visitor) const;
  void loadDirectory(bool forceScan);
  void finishInfo();
  ChapterRange kept() const;

  File file_;
  FileHeader header_;
  std::shared_ptr<Keys> keys_;
  Directory dir_;
  uint64_t infoOffset_ = 0;  // of the info block (0 when the directory was rebuilt)
  std::vector<MemberInfo> members_;
  EnvelopeInfo envelope_;
  RecordsInfo records_;
  ChapterRange keep_{0, 0};
};

/// Decodes one block's data from its start.
class BlockDataReader {
 public:
  BlockDataReader(const ArchiveReader& archive, uint32_t block);
  /// Up to n bytes; 0 at the end of the block's data. Damage throws kCrcError.
  size_t read(uint8_t* out, size_t n);
  void skip(uint64_t n);
  /// Before the first read: every read then goes on in window (size bytes) from its start,
  /// which the codec may use as its dictionary (see Decoder::useWindow). Damage: kCrcError.
  bool decodeInto(uint8_t* window, size_t size);
  uint64_t position() const { return produced_; }
  uint32_t block() const { return block_; }

 private:
  void verifyEnd();
  uint32_t block_;
  BlockHeader header_;
  SectionReader section_;
  std::unique_ptr<Decoder> decoder_;
  Bytes chunk_;
  size_t chunkPos_ = 0;
  bool sectionDone_ = false;
  uint64_t produced_ = 0;
  bool endChecked_ = false;
};

/// Fills in the directory entries that refer to block records (format 3). Damage: kCrcError.
/// Versions outside wanted stay brief (see resolveRecords).
void resolveBlockRecords(const File& file, Directory& dir, size_t tagBytes, const Keys* keys,
                         ChapterRange wanted = {0, 0});

/// Rebuilds a directory from the block records found by scanning the file (Recovery.cpp).
/// Members whose pieces are incomplete are left out and reported in `dropped`.
Directory scanForDirectory(const File& file, const FileHeader& header, const Keys* keys,
                           std::vector<std::string>* dropped);

}  // namespace jar32
