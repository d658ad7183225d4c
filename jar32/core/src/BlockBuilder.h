// Building one block of a new archive in memory: from new files, from a block of the old
// archive (re-compressed or re-protected), or the records of versions without data.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "Checksum.h"
#include "Codec.h"
#include "Writer.h"

namespace jar32 {

struct PiecePlan {
  size_t entry = 0;
  uint64_t memberOffset = 0;
  uint64_t length = 0;
  uint64_t sourceOffset = 0;  // old block data offset (EncodeOld/Copy) or file offset (host)
  bool first = false, last = false;
  int chainPiece = -1;        // >= 0: part of a member split over several blocks
  uint32_t oldBlock = kNoBlock;  // EncodeOld of merged blocks: the old block it comes from
};

enum class JobKind { Copy, Reseal, EncodeOld, EncodeHost, Empty };

struct Job {
  JobKind kind = JobKind::EncodeHost;
  uint32_t oldBlock = kNoBlock;  // kNoBlock for new files and merged old blocks
  std::vector<PiecePlan> pieces;
  CodecChoice codec;
  uint64_t dataRaw = 0;
};

// What a record written into a block says, so that the directory can refer to it.
struct RecordMark {
  size_t entry = 0;
  uint64_t index = 0;        // of the record in its block
  uint8_t flags = 0;         // kPieceFirst / kPieceLast
  uint64_t digest = 0;       // memberDigest() of the fields written (first pieces)
  uint64_t blockOffset = 0;  // first pieces
  uint64_t checksum = 0;     // last pieces
};

struct Built {
  BlockHeader header;
  Bytes head;  // block header + meta section
  LargeBytes data;  // data section
  std::vector<RecordMark> marks;
};

// Hash of a member whose data is spread over blocks that different threads compress.
struct HashChain {
  std::mutex mutex;
  std::condition_variable cv;
  int next = 0;
  ContentHash hash;
};

// A new file being read: opened once for all its pieces (which other threads may read at
// the same time), checked when opened and after its last piece.
struct HostSource {
  std::mutex mutex;
  HostFile file;
  bool opened = false;
  std::string failure;             // why it could not be read; "" while it is fine
  std::vector<std::string> notes;  // what changed about a file that was stored anyway
};

/// The zstd level for a meta section of rawSize bytes when `level` is asked for.
int metaLevelFor(size_t rawSize, int level);
/// The codec of such a meta section: Best packs sections up to 4 MiB with xz.
uint8_t metaCodecFor(size_t rawSize, int level);

class BlockBuilder {
 public:
  BlockBuilder(const ArchiveReader* source, std::vector<NewEntry>& entries, const Protection& prot,
               std::vector<std::unique_ptr<HashChain>>& chains, std::atomic<bool>& abort);

  Guard metaGuard() const {
    return prot_.keys ? (prot_.header.hidden ? kGuardSeal : kGuardMac) : kGuardCrc;
  }
  Guard dataGuard() const { return prot_.keys ? kGuardSeal : kGuardCrc; }
  /// Tag bytes of each chunk of a data section.
  size_t tagBytes() const { return prot_.keys ? prot_.keys->tagSize() : 0; }

  /// zstd level of the member records (Best packs them harder).
  void setMetaLevel(int level) { metaLevel_ = level; }
  int metaLevel() const { return metaLevel_; }
  /// Builds a Reseal, Encode or Empty job (Copy jobs are streamed by the writer).
  Built build(const Job& job) const;
  /// Header and meta section for a block whose data section is known; blockOffsets[i] is
  /// where piece i starts in the block's data. Versions sharing a piece's data get a record
  /// of their own; versions whose file could not be read get none.
  void finishHead(Built& b, const Job& job, const std::vector<uint64_t>& blockOffsets) const;

  /// After the new files were read: what to tell about entry i's file, and in failure why it
  /// could not be read ("" when it was).
  std::vector<std::string> sourceNotes(size_t entry, std::string& failure) const;
  /// Looks again at which entries share another's data (call when no block is being built).
  void noteSharedData();
  /// Makes a new file of an entry that shared another's content (call between runs).
  void addHost(size_t entry);
  /// Files of the same content as another whose stored copy turned out different (it changed
  /// or could not be read): no records were written for them.
  std::vector<size_t> takeUnshared();

 private:
  void readPiece(const PiecePlan& p, uint8_t* out) const;
  void finishSource(size_t entry) const;
  bool failed(size_t entry) const;
  void hashPiece(const PiecePlan& p, const uint8_t* data) const;
  Built encode(const Job& job) const;
  Built reseal(const Job& job) const;

  const ArchiveReader* source_;
  std::vector<NewEntry>& entries_;
  const Protection& prot_;
  std::vector<std::unique_ptr<HashChain>>& chains_;
  std::atomic<bool>& abort_;
  std::vector<std::unique_ptr<HostSource>> hosts_;  // by entry, for new files with data
  std::vector<std::vector<size_t>> sharing_;        // by entry: the entries sharing its data
  mutable std::mutex unsharedMutex_;
  mutable std::vector<size_t> unshared_;
  int metaLevel_ = 3;
};

}  // namespace jar32
