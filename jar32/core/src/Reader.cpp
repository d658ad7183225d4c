#include "Reader.h"

#include <algorithm>
#include <cstring>

#include "Checksum.h"

namespace jar32 {
namespace {

[[noreturn]] void damaged(const std::string& what) {
  throw JarError(kCrcError, "Damaged archive: " + what);
}

constexpr size_t kReadStep = 256 * 1024;

}  // namespace

std::unique_ptr<ArchiveReader> ArchiveReader::open(const std::string& path,
                                                   const std::string& password, bool forceScan) {
  std::unique_ptr<ArchiveReader> a(new ArchiveReader());
  a->file_ = File::openRead(path);
  uint64_t size = a->file_.size();
  uint8_t head[kFileHeaderSize] = {};
  size_t got = a->file_.readSomeAt(0, head, sizeof head);
  if (!FileHeader::hasSignature(head, got))
    throw JarError(kNotJar, "Not a JAR archive: " + path);
  if (got < kFileHeaderSize) damaged("the archive is cut short");
  try {
    a->header_ = FileHeader::decode(head);
  } catch (const JarError& e) {
    if (!forceScan || e.exitCode != kCrcError) throw;
    a->header_ = FileHeader{};  // damaged header: try it as an unprotected archive
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
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError) throw;
    // The directory is gone or damaged: find the members by scanning the block records.
    dir_ = scanForDirectory(file_, header_, keys_.get(), nullptr);
    dir_.info.directoryRebuilt = !forceScan;
  }
  dir_.info.fileSize = size;
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
  info.packedBytes = 0;
  for (const auto& b : dir_.blocks) info.packedBytes += b.dataStored;
  members_.clear();
  members_.reserve(dir_.entries.size());
  for (const auto& e : dir_.entries) {
    MemberInfo m = e.info;
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

BlockHeader ArchiveReader::blockHeader(uint32_t block) const {
  if (block >= dir_.blocks.size()) damaged("bad block number");
  const BlockRef& ref = dir_.blocks[block];
  uint8_t hb[kBlockHeaderSize];
  BlockHeader h;
  if (!file_.readAt(ref.offset, hb, sizeof hb) || !BlockHeader::decode(hb, h) ||
      h.type != kBlockData || h.totalSize() != ref.size || h.dataRaw != ref.dataRaw ||
      h.dataStored != ref.dataStored)
    damaged("bad block header");
  return h;
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

void ArchiveReader::read(const std::vector<size_t>& which, MemberVisitor& visitor,
                         bool skipBroken) const {
  std::vector<size_t> order;
  order.reserve(which.size());
  for (size_t i : which)
    if (i < dir_.entries.size()) order.push_back(i);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const Entry& x = dir_.entries[a];
    const Entry& y = dir_.entries[b];
    uint64_t bx = x.info.size ? x.block : 0, by = y.info.size ? y.block : 0;
    if ((x.info.size == 0) != (y.info.size == 0)) return x.info.size == 0;
    return bx != by ? bx < by : (x.offset != y.offset ? x.offset < y.offset : a < b);
  });
  order.erase(std::unique(order.begin(), order.end()), order.end());
  bool needsData = std::any_of(order.begin(), order.end(),
                               [&](size_t i) { return dir_.entries[i].info.size > 0; });
  if (needsData) requireDataKeys();

  std::unique_ptr<BlockDataReader> stream;
  uint32_t brokenBlock = kNoBlock;  // a block whose stream failed: later reads fail at once
  Bytes buf(kReadStep);
  ContentHash hash;
  for (size_t index : order) {
    if (visitor.interrupted()) throw JarError(kInterrupted, "Interrupted");
    const Entry& e = dir_.entries[index];
    const MemberInfo& m = members_[index];
    if (!visitor.begin(index, m)) continue;
    bool ok = true;
    std::string problem;
    hash.reset();
    try {
      uint64_t left = e.info.size, offset = e.offset;
      for (uint32_t b = e.block; left; ++b, offset = 0) {
        if (b == brokenBlock) damaged("block data cannot be decoded");
        if (!stream || stream->block() != b || stream->position() > offset) {
          stream.reset();
          stream = std::make_unique<BlockDataReader>(*this, b);
        }
        try {
          stream->skip(offset - stream->position());
          uint64_t inBlock = std::min(left, dir_.blocks[b].dataRaw - offset);
          while (inBlock) {
            if (visitor.interrupted()) throw JarError(kInterrupted, "Interrupted");
            size_t got = stream->read(buf.data(), size_t(std::min<uint64_t>(inBlock, buf.size())));
            if (got == 0) damaged("block data cut short");
            hash.update(buf.data(), got);
            visitor.data(buf.data(), got);
            inBlock -= got;
            left -= got;
          }
        } catch (const JarError& err) {
          if (err.exitCode == kCrcError) {
            brokenBlock = b;
            stream.reset();
          }
          throw;
        }
      }
      if (e.info.size && hash.digest() != e.checksum) damaged("CRC error in " + m.name);
    } catch (const JarError& err) {
      if (err.exitCode != kCrcError) throw;
      ok = false;
      problem = err.what();
    }
    visitor.end(index, m, ok ? MemberStatus::Ok : MemberStatus::Damaged);
    if (!ok && !skipBroken) throw JarError(kCrcError, "CRC error: " + m.name);
  }
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
  std::vector<size_t> all(dir_.entries.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  read(all, counter, true);

  // The member records in every block are checked too (they rebuild a lost directory).
  size_t badBlocks = 0;
  for (uint32_t b = 0; b < dir_.blocks.size(); ++b) {
    try {
      BlockHeader h = blockHeader(b);
      Bytes meta = readMeta(file_, dir_.blocks[b].offset, h, tagBytes(), keys_.get());
      decodeBlockMeta(meta, h.dataRaw);
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
  if (dir_.info.directoryRebuilt)
    throw JarError(kCrcError, "The archive directory is damaged (use rh to recover the archive)");
  if (counter.damagedCount)
    throw JarError(kCrcError, std::to_string(counter.damagedCount) + " member(s) damaged");
  if (badBlocks)
    throw JarError(kCrcError, std::to_string(badBlocks) + " damaged member record(s)");
}

}  // namespace jar32
