// The in-memory directory (archive info, blocks, member versions) and its serialized forms:
// the directory block, the info block and the member records inside each data block.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include "Bytes.h"
#include "jar32/Member.h"

namespace jar32 {

inline constexpr uint32_t kNoBlock = std::numeric_limits<uint32_t>::max();
inline constexpr size_t kMaxNameBytes = 32 * 1024;

/// Where the fields of a version are kept when the directory does not repeat them (format 3):
/// record `index` of data block `block`, the record of its first piece.
struct RecordRef {
  uint32_t block = kNoBlock;  // kNoBlock: the directory holds the fields itself
  uint64_t index = 0;
};

/// One stored version and where its data lives. Data starts at `offset` in the data of block
/// `block` and continues into the following blocks when it is longer than the rest of it.
struct Entry {
  MemberInfo info;
  uint64_t checksum = 0;  // XXH3-64 of the data
  uint32_t block = kNoBlock;
  uint64_t offset = 0;
  RecordRef record;       // set: written (or read) as a reference to the block's record
  bool brief = false;     // read from a brief record (see resolveRecords): no name or texts
};

struct BlockRef {
  uint64_t offset = 0;      // of the block header in the file
  uint64_t size = 0;        // header + sections
  uint64_t dataRaw = 0;     // uncompressed data bytes
  uint64_t dataStored = 0;  // stored data section bytes
};

struct Directory {
  ArchiveInfo info;
  std::vector<BlockRef> blocks;
  std::vector<Entry> entries;
};

/// Piece flags inside a block's member records.
enum : uint8_t { kPieceFirst = 1, kPieceLast = 2 };

/// One member's share of a block, as recorded in the block itself (for rebuilding by scan).
struct PieceRecord {
  uint64_t id = 0;            // same id in every block the member touches
  uint8_t flags = 0;          // kPieceFirst / kPieceLast
  uint64_t memberOffset = 0;  // where this piece starts in the member's data
  uint64_t length = 0;
  uint64_t blockOffset = 0;   // where it starts in the block's data
  MemberInfo info;
  uint64_t checksum = 0;      // valid when kPieceLast is set
  bool brief = false;         // outside the chapters asked for: no names or texts decoded
};

/// Whether a version's chapters overlap wanted (a 0 bound is open: {0,0} takes every version).
inline bool chaptersWithin(ChapterRange chapters, ChapterRange wanted) {
  return (wanted.first == 0 || chapters.last >= wanted.first) &&
         (wanted.last == 0 || chapters.first <= wanted.last);
}

void encodeInfo(const ArchiveInfo& info, ByteWriter& w);
/// Reads what encodeInfo wrote into info (other fields untouched).
void decodeInfo(ByteReader& r, ArchiveInfo& info);

/// The version of the directory and member records written (1 to 5 are still read).
inline constexpr uint64_t kRecordsVersion = 6;

/// The version written unless an older one is asked for (tests, reference archives).
Bytes encodeDirectory(const Directory& dir, uint64_t version = kRecordsVersion);
/// Validates everything against the file size; damage throws kCrcError. Without keepEntries
/// the entries are checked one by one and not kept (dir.entries stays empty). Entries that refer
/// to block records (format 3) keep only `record` until resolveRecords() fills them in.
Directory decodeDirectory(const Bytes& raw, uint64_t fileSize, bool keepEntries = true);
/// True when some entry still waits for its block's record.
bool hasRecordRefs(const Directory& dir);
/// Fills in the entries that refer to block records, reading each data block's records once,
/// in block order (loadMeta(b) returns block b's decoded meta section), then checks them as
/// decodeDirectory checks the others. The records read stay within metaBudget bytes together
/// (a small file cannot make a reader hold much). Damage throws kCrcError.
/// Versions whose record lies outside `wanted` ({0,0}: all) get only their kind, size,
/// chapters and place (no name or texts): the reader leaves them out.
void resolveRecords(Directory& dir, const std::function<Bytes(uint32_t)>& loadMeta,
                    uint64_t metaBudget, ChapterRange wanted = {0, 0});
/// Digest of a member's fields as a record holds them (a record is current when it matches).
uint64_t memberDigest(const MemberInfo& m);

/// The member records of a block. Format 3 keeps them in columns (one per field, so that like
/// values lie together and compress well); older formats wrote them one after the other.
class BlockMetaWriter {
 public:
  explicit BlockMetaWriter(size_t count, uint64_t version = kRecordsVersion);
  ~BlockMetaWriter();
  void add(uint64_t id, uint8_t flags, uint64_t memberOffset, uint64_t length,
           uint64_t blockOffset, const MemberInfo& info, uint64_t checksum);
  /// Records added so far (the index of the next one).
  uint64_t added() const { return count_ - left_; }
  /// The encoded records; `count` of them must have been added.
  Bytes finish();
  struct Columns;

 private:
  Bytes out_;
  ByteWriter w_;
  size_t count_, left_;
  uint64_t version_;
  std::unique_ptr<Columns> columns_;  // format 3
};
/// Decodes and checks a block's records one at a time: visit(index, record) may move from it.
/// Records outside `wanted` ({0,0}: all) come brief: their strings are checked and skipped.
void forEachBlockRecord(const Bytes& raw, uint64_t blockDataRaw,
                        const std::function<void(uint64_t, PieceRecord&)>& visit,
                        ChapterRange wanted = {0, 0});
/// Damage throws kCrcError. Without keep the records are checked one by one and not kept.
std::vector<PieceRecord> decodeBlockMeta(const Bytes& raw, uint64_t blockDataRaw, bool keep = true);

/// Checks a member record read from an archive (name, kind, sizes, chapters).
bool plausibleMember(const MemberInfo& m, uint32_t chapterCount);

}  // namespace jar32
