#include "Reader.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <future>
#include <optional>
#include <thread>

#include "Checksum.h"
#include "Envelope.h"
#include "HeaderCopy.h"
#include "LargeBuffers.h"
#include "RecoveryRecords.h"
#include "VolumeSet.h"

namespace jar32 {
namespace {

[[noreturn]] void damaged(const std::string& what) {
  throw JarError(kCrcError, "Damaged archive: " + what);
}

constexpr size_t kReadStep = 256 * 1024;
// Memory for blocks being decoded ahead of the one being visited.
constexpr uint64_t kAheadBudget = 2 * (kMaxBlockRaw + kWindowDecoderState);

}  // namespace

std::unique_ptr<ArchiveReader> ArchiveReader::open(const std::string& path,
                                                   const std::string& password, bool forceScan,
                                                   bool testEnvelope, RecordsUse records,
                                                   ChapterRange keep) {
  std::unique_ptr<ArchiveReader> a(new ArchiveReader());
  a->keep_ = keep;
  a->file_ = openArchiveFile(path);  // one file or a volume set, read as one
  // Layers at the end of the archive, outermost first: recovery records cover all the rest
  // (repaired bytes are read from here on), the security envelope signs the archive.
  a->records_ = openRecords(a->file_, records);
  uint8_t head[kFileHeaderSize] = {};
  size_t got = a->file_.readSomeAt(0, head, sizeof head);
  if (!FileHeader::hasSignature(head, got))
    throw JarError(kNotJar, "Not a JAR archive: " + path);
  a->envelope_ = openEnvelope(a->file_, testEnvelope && !forceScan);
  uint64_t size = a->file_.size();
  if (got < kFileHeaderSize) damaged("the archive is cut short");
  try {
    a->header_ = FileHeader::decode(head);
  } catch (const JarError& e) {
    if (!forceScan || e.exitCode != kCrcError) throw;
    // Damaged header: its copy near the end, else try it as an unprotected archive.
    if (!findHeaderCopy(a->file_, a->header_)) a->header_ = FileHeader{};
  }
  if (a->header_.protectedArchive) {
    if (password.empty()) {
      if (a->header_.hidden) throw JarError(kFatal, kMsgPasswordNeeded);
    } else {
      a->keys_ = Keys::derive(a->header_.method, password, a->header_.kdf);
      if (!constantTimeEqual(a->keys_->checkValue(), a->header_.check, kCheckBytes))
        throw JarError(kFatal, kMsgWrongPassword);
    }
  }
  a->dir_.info.fileSize = size;
  a->loadDirectory(forceScan);
  a->finishInfo();
  return a;
}

void ArchiveReader::loadDirectory(bool forceScan) {
  uint64_t size = file_.size();
  try {
    if (forceScan) damaged("directory not used");
    uint8_t t[kTrailerSize];
    Trailer trailer;
    if (size < kFileHeaderSize + kTrailerSize || !file_.readAt(size - kTrailerSize, t, sizeof t) ||
        !Trailer::decode(t, trailer))
      damaged("no intact trailer");
    if (trailer.fileSize != size || trailer.directoryOffset < kFileHeaderSize ||
        trailer.directorySize < kBlockHeaderSize ||
        trailer.directoryOffset + trailer.directorySize != size - kTrailerSize)
      damaged("bad trailer");
    uint8_t hb[kBlockHeaderSize];
    BlockHeader bh;
    if (!file_.readAt(trailer.directoryOffset, hb, sizeof hb) || !BlockHeader::decode(hb, bh) ||
        bh.type != kBlockDirectory || bh.totalSize() != trailer.directorySize)
      damaged("bad directory header");
    Bytes raw = readMeta(file_, trailer.directoryOffset, bh, tagBytes(), keys_.get());
    dir_ = decodeDirectory(raw, size);
    if (trailer.infoOffset < kFileHeaderSize || trailer.infoOffset >= trailer.directoryOffset)
      damaged("bad trailer");
    infoOffset_ = trailer.infoOffset;
    for (size_t i = 0; i < dir_.blocks.size(); ++i)
      if (dir_.blocks[i].offset + dir_.blocks[i].size > trailer.directoryOffset)
        damaged("block outside the data area");
    // Format 3: the fields of most versions are those of their blocks' records.
    if (hasRecordRefs(dir_)) resolveBlockRecords(file_, dir_, tagBytes(), keys_.get(), kept());
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) throw;
    // The directory is gone or damaged: find the members by scanning the block records.
    dir_ = scanForDirectory(file_, header_, keys_.get(), nullptr);
    dir_.info.directoryRebuilt = !forceScan;
  }
  dir_.info.fileSize = size;
}

ChapterRange ArchiveReader::kept() const {
  const uint32_t last = dir_.info.chapterCount;
  return {keep_.first == kLastChapter ? last : keep_.first,
          keep_.last == kLastChapter ? last : keep_.last};
}

void ArchiveReader::finishInfo() {
  ArchiveInfo& info = dir_.info;
  info.formatVersion = header_.version;
  if (header_.protectedArchive) {
    info.flags |= kFlagProtected | kFlagEncrypted;
    info.protectionMethod = header_.method;
  } else {
    info.protectionMethod = -1;
  }
  if (header_.hidden) info.flags |= kFlagHidden;
  info.envelope = envelope_;
  if (envelope_.present) info.flags |= kFlagSecured;
  info.records = records_;
  if (records_.present) info.flags |= kFlagRecoveryRecords;
  if (const VolumeSet* set = file_.volumes()) {
    info.volumeCount = uint32_t(set->volumes().size());
    info.volumeSize = set->volumeSize();
  }
  info.packedBytes = 0;
  for (const auto& b : dir_.blocks) info.packedBytes += b.dataStored;
  info.versionCount = dir_.entries.size();
  info.unpackedBytes = 0;
  for (const auto& e : dir_.entries) info.unpackedBytes += e.info.size;
  // Versions outside the chapters asked for are left out (entries and members keep one order).
  const ChapterRange wanted = kept();
  if (wanted != ChapterRange{0, 0}) {
    auto end = std::remove_if(dir_.entries.begin(), dir_.entries.end(), [&](const Entry& e) {
      return e.brief || !chaptersWithin(e.info.chapters, wanted);
    });
    dir_.entries.erase(end, dir_.entries.end());
  }
  members_.clear();
  members_.reserve(dir_.entries.size());
  for (auto& e : dir_.entries) {
    // The names and texts live in members_ only; the entry keeps sizes and places.
    MemberInfo m = std::move(e.info);
    // Each version gets its share of the stored bytes of the blocks its data lies in.
    uint64_t left = m.size, offset = e.offset;
    double packed = 0;
    for (uint32_t b = e.block; left && b < dir_.blocks.size(); ++b) {
      const BlockRef& ref = dir_.blocks[b];
      uint64_t take = std::min(left, ref.dataRaw - std::min(offset, ref.dataRaw));
      if (ref.dataRaw) packed += double(ref.dataStored) * double(take) / double(ref.dataRaw);
      left -= take;
      offset = 0;
    }
    m.packedSize = uint64_t(packed + 0.5);
    members_.push_back(std::move(m));
  }
}

namespace {

/// The header of a data block, checked against what the directory says of the block.
BlockHeader dataBlockHeader(const File& file, const BlockRef& ref) {
  uint8_t hb[kBlockHeaderSize];
  BlockHeader h;
  if (!file.readAt(ref.offset, hb, sizeof hb) || !BlockHeader::decode(hb, h) ||
      h.type != kBlockData || h.totalSize() != ref.size || h.dataRaw != ref.dataRaw ||
      h.dataStored != ref.dataStored)
    damaged("bad block header");
  return h;
}

}  // namespace

BlockHeader ArchiveReader::blockHeader(uint32_t block) const {
  if (block >= dir_.blocks.size()) damaged("bad block number");
  return dataBlockHeader(file_, dir_.blocks[block]);
}

void resolveBlockRecords(const File& file, Directory& dir, size_t tagBytes, const Keys* keys,
                         ChapterRange wanted) {
  resolveRecords(
      dir,
      [&](uint32_t block) {
        const BlockRef& ref = dir.blocks[block];
        return readMeta(file, ref.offset, dataBlockHeader(file, ref), tagBytes, keys);
      },
      metaLimitFor(file.size()), wanted);
}

void ArchiveReader::requireDataKeys() const {
  if (header_.protectedArchive && !keys_) throw JarError(kFatal, kMsgPasswordNeeded);
}

BlockDataReader::BlockDataReader(const ArchiveReader& archive, uint32_t block)
    : block_(block),
      header_(archive.blockHeader(block)),
      section_(archive.file(), archive.directory().blocks[block].offset + kBlockHeaderSize +
                                   header_.metaStored,
               header_.dataStored, Guard(header_.dataGuard), archive.tagBytes(), archive.keys(),
               header_.dataNonce, kBlockData, kSectionData),
      decoder_(Decoder::make(header_.codec)) {}

size_t BlockDataReader::read(uint8_t* out, size_t n) {
  size_t total = 0;
  while (total < n && produced_ < header_.dataRaw) {
    if (chunkPos_ == chunk_.size() && !sectionDone_) {
      chunkPos_ = 0;
      if (!section_.next(chunk_)) {
        chunk_.clear();
        sectionDone_ = true;
      }
    }
    size_t want = size_t(std::min<uint64_t>(n - total, header_.dataRaw - produced_));
    size_t got = decoder_->step(chunk_.data(), chunk_.size(), chunkPos_, out + total, want);
    total += got;
    produced_ += got;
    if (got == 0 && chunkPos_ == chunk_.size() && sectionDone_) damaged("block data cut short");
  }
  if (produced_ == header_.dataRaw) verifyEnd();
  return total;
}

bool BlockDataReader::decodeInto(uint8_t* window, size_t size) {
  if (produced_ || chunkPos_ || sectionDone_) return false;
  if (chunk_.empty() && !section_.next(chunk_)) {
    sectionDone_ = true;
    return false;
  }
  return decoder_->useWindow(window, size, chunk_.data(), chunk_.size());
}

// After the declared size: the compressed stream and the section must end exactly here.
void BlockDataReader::verifyEnd() {
  if (endChecked_) return;
  endChecked_ = true;
  uint8_t probe[16];
  for (;;) {
    if (chunkPos_ < chunk_.size()) {
      size_t before = chunkPos_;
      if (decoder_->step(chunk_.data(), chunk_.size(), chunkPos_, probe, sizeof probe))
        damaged("block data longer than declared");
      if (chunkPos_ == before) damaged("extra block data");
      continue;
    }
    if (sectionDone_) break;
    chunkPos_ = 0;
    if (!section_.next(chunk_)) {
      chunk_.clear();
      sectionDone_ = true;
    }
  }
  if (!decoder_->finished()) {
    size_t pos = 0;
    if (decoder_->step(nullptr, 0, pos, probe, sizeof probe) || !decoder_->finished())
      damaged("block data cut short");
  }
}

void BlockDataReader::skip(uint64_t n) {
  Bytes scratch(size_t(std::min<uint64_t>(n, kReadStep)));
  while (n) {
    size_t got = read(scratch.data(), size_t(std::min<uint64_t>(n, scratch.size())));
    if (got == 0) damaged("block data cut short");
    n -= got;
  }
}

namespace {

// A block decoded up to the end the read needs; after damage, only the intact prefix. Its
// buffer is taken whole at the start, so it never moves while it grows; only the pages that
// were decoded into take memory.
struct DecodedBlock {
  LargeBytes data;
  bool broken = false;
  uint64_t size() const { return data.size(); }
};

// A block opened for decoding ahead: what it will cost while it is decoded and held.
struct BlockToDecode {
  uint32_t block = kNoBlock;
  uint64_t end = 0;
  std::unique_ptr<BlockDataReader> reader;  // null when the block is damaged at its start
  LargeBytes data;
  uint64_t cost = 0;
};

BlockToDecode openBlock(const ArchiveReader& archive, uint32_t block, uint64_t end) {
  BlockToDecode b;
  b.block = block;
  b.end = end;
  b.data.reserve(size_t(end));
  bool window = false;
  try {
    b.reader = std::make_unique<BlockDataReader>(archive, block);
    window = b.reader->decodeInto(b.data.data(), size_t(end));
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) throw;
    b.reader.reset();
  }
  b.cost = end + (window ? kWindowDecoderState : kMaxDecoderState);
  return b;
}

DecodedBlock decodeBlock(BlockToDecode b) {
  DecodedBlock out;
  out.data = std::move(b.data);
  out.broken = !b.reader;
  try {
    while (b.reader && out.size() < b.end) {
      const size_t at = out.data.size();
      out.data.resize(at + size_t(std::min<uint64_t>(b.end - at, kReadStep)));
      const size_t got = b.reader->read(out.data.data() + at, out.data.size() - at);
      out.data.resize(at + got);
      if (got == 0) damaged("block data cut short");
    }
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) throw;
    out.broken = true;
  }
  return out;
}

// Members in the order reading visits them: empty ones first, then by where their data lies.
void sortForReading(const Directory& dir, std::vector<size_t>& order) {
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const Entry& x = dir.entries[a];
    const Entry& y = dir.entries[b];
    if ((x.info.size == 0) != (y.info.size == 0)) return x.info.size == 0;
    if (x.info.size == 0) return a < b;
    return x.block != y.block ? x.block < y.block : (x.offset != y.offset ? x.offset < y.offset : a < b);
  });
}

// One stretch of a member's data inside one block.
struct Span {
  uint32_t block;
  uint64_t offset, length;
};

}  // namespace

void ArchiveReader::read(const std::vector<size_t>& which, MemberVisitor& visitor,
                         bool skipBroken) const {
  std::vector<size_t> order;
  order.reserve(which.size());
  for (size_t i : which)
    if (i < dir_.entries.size()) order.push_back(i);
  sortForReading(dir_, order);
  order.erase(std::unique(order.begin(), order.end()), order.end());

  // The blocks to decode, in the order the members need them, and how far.
  std::vector<std::vector<Span>> spans(order.size());
  std::vector<std::pair<uint32_t, uint64_t>> visits;
  for (size_t k = 0; k < order.size(); ++k) {
    const Entry& e = dir_.entries[order[k]];
    uint64_t left = e.info.size, offset = e.offset;
    for (uint32_t b = e.block; left; ++b, offset = 0) {
      uint64_t take = std::min(left, dir_.blocks[b].dataRaw - offset);
      spans[k].push_back({b, offset, take});
      if (visits.empty() || visits.back().first != b) visits.push_back({b, 0});
      visits.back().second = std::max(visits.back().second, offset + take);
      left -= take;
    }
  }
  if (!visits.empty()) requireDataKeys();

  // Blocks are decoded ahead on other threads (each block at most once per visit), so
  // decoding overlaps with the visitor's work. What is decoded ahead stays within a budget that
  // does not grow with the machine: two blocks that decode into their own buffers, or one
  // whose decoder keeps a dictionary of its own. With the block being visited, about 200 MB.
  std::deque<std::future<DecodedBlock>> pending;
  std::deque<uint64_t> costs;
  size_t launched = 0, consumed = 0;
  uint64_t inFlight = 0;
  BlockToDecode next;  // opened, waiting for room in the budget
  auto launch = [&] {
    while (launched < visits.size()) {
      if (next.block == kNoBlock)
        next = openBlock(*this, visits[launched].first, visits[launched].second);
      if (!pending.empty() && inFlight + next.cost > kAheadBudget) break;
      ++launched;
      inFlight += next.cost;
      costs.push_back(next.cost);
      pending.push_back(std::async(std::launch::async, [b = std::move(next)]() mutable {
        return decodeBlock(std::move(b));
      }));
      next = BlockToDecode{};
    }
  };
  DecodedBlock current;
  uint32_t currentBlock = kNoBlock;
  auto nextVisit = [&](uint32_t b) -> const DecodedBlock& {
    if (b != currentBlock) {
      launch();
      current = DecodedBlock{};  // free the finished block before taking the next one
      current = pending.front().get();
      pending.pop_front();
      inFlight -= costs.front();
      costs.pop_front();
      currentBlock = visits[consumed++].first;
      launch();
    }
    return current;
  };
  struct Drain {  // never leave decoding threads behind when leaving early
    std::deque<std::future<DecodedBlock>>& pending;
    ~Drain() {
      for (auto& f : pending)
        if (f.valid()) f.wait();
    }
  } drain{pending};

  ContentHash hash;
  for (size_t k = 0; k < order.size(); ++k) {
    if (visitor.interrupted()) throw JarError(kInterrupted, "Interrupted");
    size_t index = order[k];
    const Entry& e = dir_.entries[index];
    const MemberInfo& m = members_[index];
    bool wanted = visitor.begin(index, m);
    bool ok = true;
    hash.reset();
    for (const Span& span : spans[k]) {
      const DecodedBlock& block = nextVisit(span.block);
      if (!wanted || !ok) continue;
      if (block.broken && span.offset + span.length > block.size()) {
        ok = false;
        continue;
      }
      for (uint64_t done = 0; done < span.length;) {
        if (visitor.interrupted()) throw JarError(kInterrupted, "Interrupted");
        const uint8_t* p = block.data.data() + span.offset + done;
        size_t n = size_t(std::min<uint64_t>(span.length - done, kReadStep));
        hash.update(p, n);
        visitor.data(p, n);
        done += n;
      }
    }
    if (!wanted) continue;
    if (ok && e.info.size && hash.digest() != e.checksum) ok = false;
    visitor.end(index, m, ok ? MemberStatus::Ok : MemberStatus::Damaged);
    if (!ok && !skipBroken) throw JarError(kCrcError, "CRC error: " + m.name);
  }
}

namespace {

// A stretch of one block's data that one or more members hold (versions sharing data hold the
// same stretch).
struct Stretch {
  uint64_t offset = 0, length = 0;
  std::vector<size_t> members;  // in the order they are told
};

// Decodes a block as it streams by and hashes each stretch; a stretch that damage cut short
// has no digest. Nothing of the block is held but the decoder and one step of its data. The
// steps are those of decodeBlock (a step that fails is lost whole), so a damaged block's
// members fare as they do when read.
std::vector<std::optional<uint64_t>> hashStretches(const ArchiveReader& archive, uint32_t block,
                                                   const std::vector<Stretch>& stretches,
                                                   const std::atomic<bool>& stop) {
  std::vector<std::optional<uint64_t>> digests(stretches.size());
  auto endOf = [&](size_t k) { return stretches[k].offset + stretches[k].length; };
  try {
    BlockDataReader reader(archive, block);
    Bytes step(kReadStep);
    ContentHash hash;
    size_t k = 0;
    const uint64_t end = endOf(stretches.size() - 1);
    for (uint64_t pos = 0; pos < end;) {
      if (stop) throw JarError(kInterrupted, "Interrupted");
      const size_t want = size_t(std::min<uint64_t>(step.size(), end - pos));
      if (reader.read(step.data(), want) != want) damaged("block data cut short");
      const uint64_t stepEnd = pos + want;
      while (k < stretches.size() && stretches[k].offset < stepEnd) {
        const uint64_t from = std::max(stretches[k].offset, pos);
        const uint64_t to = std::min(endOf(k), stepEnd);
        hash.update(step.data() + (from - pos), size_t(to - from));
        if (to != endOf(k)) break;
        digests[k++] = hash.digest();
        hash.reset();
      }
      pos = stepEnd;
    }
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) throw;
  }
  return digests;
}

// Each block streamed on a core of its own costs its decoder and a step of data; together they
// stay within what reading holds (a block being visited and the blocks decoded ahead).
constexpr uint64_t kTestBudget = kAheadBudget + kMaxBlockRaw;

}  // namespace

bool ArchiveReader::testByBlocks(MemberVisitor& visitor) const {
  // The members by block, each block's stretches in the order of their data.
  std::vector<size_t> empty;
  std::vector<std::vector<Stretch>> byBlock(dir_.blocks.size());
  std::vector<size_t> order(dir_.entries.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  sortForReading(dir_, order);
  for (size_t i : order) {
    const Entry& e = dir_.entries[i];
    if (e.info.size == 0) {
      empty.push_back(i);
      continue;
    }
    // Data across blocks, or stretches that overlap without being the same, take the way
    // that holds blocks whole.
    if (e.block >= dir_.blocks.size() || e.offset > dir_.blocks[e.block].dataRaw ||
        e.info.size > dir_.blocks[e.block].dataRaw - e.offset)
      return false;
    std::vector<Stretch>& stretches = byBlock[e.block];
    if (!stretches.empty() && stretches.back().offset == e.offset &&
        stretches.back().length == e.info.size) {
      stretches.back().members.push_back(i);
      continue;
    }
    if (!stretches.empty() && e.offset < stretches.back().offset + stretches.back().length)
      return false;
    stretches.push_back({e.offset, e.info.size, {i}});
  }

  auto tell = [&](size_t i, bool ok) {
    if (!visitor.begin(i, members_[i])) return;
    visitor.end(i, members_[i], ok ? MemberStatus::Ok : MemberStatus::Damaged);
  };
  for (size_t i : empty) tell(i, true);

  std::atomic<bool> stop{false};
  using Digests = std::vector<std::optional<uint64_t>>;
  std::deque<std::pair<uint32_t, std::future<Digests>>> pending;
  struct Drain {  // never leave decoding threads behind when leaving early
    std::deque<std::pair<uint32_t, std::future<Digests>>>& pending;
    std::atomic<bool>& stop;
    ~Drain() {
      stop = true;
      for (auto& [b, f] : pending)
        if (f.valid()) f.wait();
    }
  } drain{pending, stop};
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t atOnce =
      std::max<size_t>(1, std::min<size_t>(cores, kTestBudget / (kMaxDecoderState + kReadStep)));
  uint32_t next = 0;
  auto launch = [&] {
    for (; next < byBlock.size() && pending.size() < atOnce; ++next) {
      if (byBlock[next].empty()) continue;
      const uint32_t b = next;
      pending.emplace_back(b, std::async(std::launch::async, [this, b, &byBlock, &stop] {
                             return hashStretches(*this, b, byBlock[b], stop);
                           }));
    }
  };
  launch();
  while (!pending.empty()) {
    auto& [b, future] = pending.front();
    while (future.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
      if (visitor.interrupted()) throw JarError(kInterrupted, "Interrupted");
    const Digests digests = future.get();
    const std::vector<Stretch>& stretches = byBlock[b];
    pending.pop_front();
    launch();
    for (size_t k = 0; k < stretches.size(); ++k)
      for (size_t i : stretches[k].members)
        tell(i, digests[k] && *digests[k] == dir_.entries[i].checksum);
    if (visitor.interrupted()) throw JarError(kInterrupted, "Interrupted");
  }
  return true;
}

void ArchiveReader::test(Progress* progress) const {
  requireDataKeys();
  struct Counter : MemberVisitor {
    Progress* progress;
    size_t damagedCount = 0;
    bool begin(size_t, const MemberInfo& m) override {
      if (progress) progress->member(Step::Testing, m);
      return true;
    }
    void data(const uint8_t*, size_t) override {}
    void end(size_t, const MemberInfo& m, MemberStatus s) override {
      if (s != MemberStatus::Ok) ++damagedCount;
      if (progress) progress->tested(m, s == MemberStatus::Ok);
    }
    bool interrupted() override { return progress && progress->interrupted(); }
  } counter;
  counter.progress = progress;
  if (!testByBlocks(counter)) {
    std::vector<size_t> all(dir_.entries.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    read(all, counter, true);
  }

  // The member records in every block are checked too (they rebuild a lost directory).
  size_t badBlocks = 0;
  for (uint32_t b = 0; b < dir_.blocks.size(); ++b) {
    try {
      BlockHeader h = blockHeader(b);
      Bytes meta = readMeta(file_, dir_.blocks[b].offset, h, tagBytes(), keys_.get());
      decodeBlockMeta(meta, h.dataRaw, false);
    } catch (const JarError& e) {
      if (e.exitCode != kCrcError) throw;
      ++badBlocks;
    }
  }
  // So is the copy of the archive information.
  if (infoOffset_) {
    try {
      uint8_t hb[kBlockHeaderSize];
      BlockHeader h;
      if (!file_.readAt(infoOffset_, hb, sizeof hb) || !BlockHeader::decode(hb, h) ||
          h.type != kBlockInfo)
        damaged("bad information block");
      Bytes meta = readMeta(file_, infoOffset_, h, tagBytes(), keys_.get());
      ByteReader r(meta.data(), meta.size(), "archive information");
      ArchiveInfo copy;
      decodeInfo(r, copy);
    } catch (const JarError& e) {
      if (e.exitCode != kCrcError) throw;
      ++badBlocks;
    }
  }
  // And the header's second copy, where a writer puts it: right before the information block.
  if (infoOffset_ && !headerCopyIntact(file_, dir_.blocks, infoOffset_)) ++badBlocks;
  if (dir_.info.directoryRebuilt)
    throw JarError(kCrcError, "The archive directory is damaged (use rh to recover the archive)");
  if (counter.damagedCount)
    throw JarError(kCrcError, std::to_string(counter.damagedCount) + " member(s) damaged");
  if (badBlocks)
    throw JarError(kCrcError, std::to_string(badBlocks) + " damaged member record(s)");
}

}  // namespace jar32
