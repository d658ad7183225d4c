#include "BlockBuilder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "FaultInjection.h"
#include "LargeBuffers.h"
#include "Reader.h"

namespace jar32 {

int metaLevelFor(size_t rawSize, int level) {
  // Very large directories are not worth the slowest levels.
  return rawSize > (4u << 20) ? std::min(level, 12) : level;
}

uint8_t metaCodecFor(size_t rawSize, int level) {
  return level >= 19 && rawSize <= (4u << 20) ? kMetaXz : kMetaZstd;
}

BlockBuilder::BlockBuilder(const ArchiveReader* source, std::vector<NewEntry>& entries,
                           const Protection& prot, std::vector<std::unique_ptr<HashChain>>& chains,
                           std::atomic<bool>& abort)
    : source_(source), entries_(entries), prot_(prot), chains_(chains), abort_(abort) {
  hosts_.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].origin == NewEntry::Origin::Host && entries[i].info.size > 0)
      hosts_[i] = std::make_unique<HostSource>();
  noteSharedData();
}

void BlockBuilder::addHost(size_t entry) {
  if (entry >= hosts_.size()) hosts_.resize(entry + 1);
  hosts_[entry] = std::make_unique<HostSource>();
}

std::vector<size_t> BlockBuilder::takeUnshared() {
  std::lock_guard lock(unsharedMutex_);
  return std::exchange(unshared_, {});
}

void BlockBuilder::noteSharedData() {
  sharing_.assign(entries_.size(), {});
  for (size_t i = 0; i < entries_.size(); ++i) {
    const NewEntry& e = entries_[i];
    if (e.origin == NewEntry::Origin::Shared && !e.dropped && e.info.size > 0)
      sharing_[e.sharedWith].push_back(i);
  }
}

bool BlockBuilder::failed(size_t entry) const {
  if (entry >= hosts_.size() || !hosts_[entry]) return false;
  std::lock_guard lock(hosts_[entry]->mutex);
  return !hosts_[entry]->failure.empty();
}

std::vector<std::string> BlockBuilder::sourceNotes(size_t entry, std::string& failure) const {
  failure.clear();
  if (entry >= hosts_.size() || !hosts_[entry]) return {};
  std::lock_guard lock(hosts_[entry]->mutex);
  failure = hosts_[entry]->failure;
  return failure.empty() ? hosts_[entry]->notes : std::vector<std::string>{};
}

// Opens the file at its first piece; a file that is not the one checked, or shorter than
// planned, is given up (its pieces are filled with zeros and it is left out).
void BlockBuilder::readPiece(const PiecePlan& p, uint8_t* out) const {
  const NewEntry& e = entries_[p.entry];
  if (e.content && p.memberOffset + p.length <= e.content->size()) {
    fault::point("source");
    std::memcpy(out, e.content->data() + p.memberOffset, p.length);
    return;
  }
  HostSource& src = *hosts_[p.entry];
  std::unique_lock lock(src.mutex);
  if (src.failure.empty() && !src.opened) {
    fault::point("source");
    try {
      src.file = HostFile::open(e.hostPath);
      src.opened = true;
      fault::point("opened");
      const HostState& now = src.file.opened();
      if (!now.sameFile(e.expected))
        src.failure = "it was replaced by another file since it was checked";
      else if (now.size < e.info.size)
        src.failure = "it became shorter since it was checked";
      else if (!now.unchangedSince(e.expected))
        src.notes.push_back("it changed while it was added; stored as it was read");
    } catch (const JarError& err) {
      src.failure = err.what();
    }
  }
  bool ok = src.failure.empty();
  lock.unlock();
  if (ok) {
    try {
      if (src.file.readAt(p.memberOffset, out, p.length) < p.length) {
        lock.lock();
        if (src.failure.empty()) src.failure = "it became shorter while it was read";
        ok = false;
      }
    } catch (const JarError& err) {
      lock.lock();
      if (src.failure.empty()) src.failure = err.what();
      ok = false;
    }
  }
  if (!ok) std::memset(out, 0, p.length);
}

// After the last piece: a file that grew or was written to while it was read is stored as it
// was read, with a note; then it is closed.
void BlockBuilder::finishSource(size_t entry) const {
  HostSource& src = *hosts_[entry];
  std::lock_guard lock(src.mutex);
  if (!src.opened) return;
  if (src.failure.empty()) {
    fault::point("read");
    const uint64_t planned = entries_[entry].info.size;
    try {
      uint8_t probe;
      const bool longer = src.file.opened().size > planned || src.file.readAt(planned, &probe, 1) > 0;
      if (longer)
        src.notes.push_back("it grew while it was read; its first " + std::to_string(planned) +
                            " bytes were stored");
      else if (!src.file.now().unchangedSince(src.file.opened()))
        src.notes.push_back("it changed while it was read; stored as it was read");
    } catch (const JarError& err) {
      src.notes.push_back(std::string("cannot check it after reading: ") + err.what());
    }
  }
  src.file.close();
}

Built BlockBuilder::build(const Job& job) const {
  switch (job.kind) {
    case JobKind::Reseal: return reseal(job);
    case JobKind::EncodeOld:
    case JobKind::EncodeHost:
    case JobKind::Empty: return encode(job);
    case JobKind::Copy: break;
  }
  throw JarError(kInternal, "copy jobs are written directly");
}

void BlockBuilder::finishHead(Built& b, const Job& job,
                              const std::vector<uint64_t>& blockOffsets) const {
  // Which pieces get records: those of files that were read, and of versions sharing them
  // (a file of the same content only if the one read still had that content).
  std::vector<bool> kept(job.pieces.size());
  std::vector<std::vector<size_t>> sharers(job.pieces.size());
  size_t count = 0;
  for (size_t i = 0; i < job.pieces.size(); ++i) {
    const PiecePlan& p = job.pieces[i];
    kept[i] = !failed(p.entry);
    if (!kept[i]) continue;
    ++count;
    if (p.entry >= sharing_.size()) continue;
    for (size_t other : sharing_[p.entry]) {
      const NewEntry& o = entries_[other];
      if (o.sameContent && !(p.first && p.last && o.checksum == entries_[p.entry].checksum)) {
        std::lock_guard lock(unsharedMutex_);
        unshared_.push_back(other);
        continue;
      }
      sharers[i].push_back(other);
      ++count;
    }
  }
  BlockMetaWriter records(count);
  b.marks.clear();
  b.marks.reserve(count);
  for (size_t i = 0; i < job.pieces.size(); ++i) {
    if (!kept[i]) continue;
    const PiecePlan& p = job.pieces[i];
    const uint8_t flags = uint8_t((p.first ? kPieceFirst : 0) | (p.last ? kPieceLast : 0));
    const uint64_t checksum = p.last ? entries_[p.entry].checksum : 0;
    auto add = [&](size_t entry) {
      const MemberInfo& info = entries_[entry].info;
      b.marks.push_back({entry, records.added(), flags, p.first ? memberDigest(info) : 0,
                         blockOffsets[i], checksum});
      records.add(entry, flags, p.memberOffset, p.length, blockOffsets[i], info, checksum);
    };
    add(p.entry);
    for (size_t other : sharers[i]) add(other);
  }
  Bytes raw = records.finish();
  b.header.type = kBlockData;
  b.header.metaGuard = metaGuard();
  randomBytes(b.header.metaNonce, kNonceBytes);
  b.header.metaCodec = metaCodecFor(raw.size(), metaLevel_);
  Bytes meta = buildMetaSection(raw, metaGuard(), prot_.keys.get(), b.header.metaNonce, kBlockData,
                                metaLevelFor(raw.size(), metaLevel_), &b.header.metaCodec);
  b.header.metaRaw = raw.size();
  b.header.metaStored = meta.size();
  b.head.resize(kBlockHeaderSize);
  b.header.encode(b.head.data());
  b.head.insert(b.head.end(), meta.begin(), meta.end());
}

void BlockBuilder::hashPiece(const PiecePlan& p, const uint8_t* data) const {
  NewEntry& e = entries_[p.entry];
  if (p.chainPiece < 0) {
    ContentHash h;
    h.update(data, p.length);
    e.checksum = h.digest();
    return;
  }
  HashChain& chain = *chains_[p.entry];
  std::unique_lock lock(chain.mutex);
  chain.cv.wait(lock, [&] { return chain.next == p.chainPiece || abort_.load(); });
  if (abort_) throw JarError(kInterrupted, "Interrupted");
  chain.hash.update(data, p.length);
  ++chain.next;
  if (p.last) e.checksum = chain.hash.digest();
  chain.cv.notify_all();
}

Built BlockBuilder::encode(const Job& job) const {
  LargeBytes raw;  // every byte is read into before it is used
  raw.reserve(sectionBytes(job.dataRaw, tagBytes()));  // stored, it becomes the section
  std::vector<uint64_t> offsets;
  if (job.kind == JobKind::EncodeOld) {
    // Merged small blocks: the pieces come from several old blocks, each in order.
    std::unique_ptr<BlockDataReader> reader;
    for (const PiecePlan& p : job.pieces) {
      offsets.push_back(raw.size());
      if (p.length == 0) continue;
      const uint32_t from = p.oldBlock != kNoBlock ? p.oldBlock : job.oldBlock;
      if (!reader || reader->block() != from || reader->position() > p.sourceOffset)
        reader = std::make_unique<BlockDataReader>(*source_, from);
      reader->skip(p.sourceOffset - reader->position());
      size_t at = raw.size();
      raw.resize(at + p.length);
      for (size_t done = 0; done < p.length;) {
        size_t got = reader->read(raw.data() + at + done, p.length - done);
        if (got == 0) throw JarError(kCrcError, "Damaged archive: block data cut short");
        done += got;
      }
      if (p.first && p.last) {
        ContentHash h;
        h.update(raw.data() + at, p.length);
        if (h.digest() != entries_[p.entry].checksum)
          throw JarError(kCrcError, "CRC error: " + entries_[p.entry].info.name);
      }
    }
  } else if (job.kind == JobKind::EncodeHost) {
    for (const PiecePlan& p : job.pieces) {
      if (abort_) throw JarError(kInterrupted, "Interrupted");
      offsets.push_back(raw.size());
      size_t at = raw.size();
      raw.resize(at + p.length);
      if (p.length) readPiece(p, raw.data() + at);
      hashPiece(p, raw.data() + at);
      if (p.last) {
        finishSource(p.entry);
        entries_[p.entry].content.reset();  // in the block now
      }
    }
  } else {
    offsets.assign(job.pieces.size(), 0);
  }

  Built b;
  b.header.dataRaw = raw.size();
  CodecChoice codec = job.codec;
  LargeBytes packed;
  if (raw.empty()) {
    codec.codec = kCodecStore;
  } else {
    auto enc = Encoder::make(codec, raw.size(), offsets);
    // Room for what an encoder may write for incompressible input and for the section's
    // framing: the buffer never moves.
    packed.reserve(sectionBytes(raw.size() + raw.size() / 64 + (64 << 10), tagBytes()));
    enc->write(raw.data(), raw.size(), packed);
    enc->finish(packed);
    codec.codec = enc->codec();
    if (packed.size() >= raw.size()) codec.codec = kCodecStore;  // incompressible: store it
  }
  // The data section is built where the stored bytes lie.
  b.data = codec.codec == kCodecStore ? std::move(raw) : std::move(packed);
  LargeBytes().swap(raw);
  LargeBytes().swap(packed);
  b.header.codec = codec.codec;
  b.header.dataGuard = dataGuard();
  randomBytes(b.header.dataNonce, kNonceBytes);
  if (!b.data.empty())
    frameSectionInPlace(b.data, dataGuard(), prot_.keys.get(), b.header.dataNonce, kBlockData,
                        kSectionData);
  b.header.dataStored = b.data.size();
  finishHead(b, job, offsets);
  return b;
}

Built BlockBuilder::reseal(const Job& job) const {
  BlockHeader old = source_->blockHeader(job.oldBlock);
  const BlockRef& ref = source_->directory().blocks[job.oldBlock];
  SectionReader in(source_->file(), ref.offset + kBlockHeaderSize + old.metaStored,
                   old.dataStored, Guard(old.dataGuard), source_->tagBytes(), source_->keys(),
                   old.dataNonce, kBlockData, kSectionData);
  Built b;
  b.header.codec = old.codec;
  b.header.dataRaw = old.dataRaw;
  b.header.dataGuard = dataGuard();
  randomBytes(b.header.dataNonce, kNonceBytes);
  if (old.dataStored) {
    SectionWriter w(b.data, dataGuard(), prot_.keys.get(), b.header.dataNonce, kBlockData,
                    kSectionData);
    Bytes cur, next;
    bool have = in.next(cur);
    while (have) {
      bool more = in.next(next);
      w.chunk(cur.data(), cur.size(), !more);
      std::swap(cur, next);
      have = more;
    }
  }
  b.header.dataStored = b.data.size();
  std::vector<uint64_t> offsets;
  for (const auto& p : job.pieces) offsets.push_back(p.sourceOffset);
  finishHead(b, job, offsets);
  return b;
}

}  // namespace jar32
