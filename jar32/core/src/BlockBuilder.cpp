#include "BlockBuilder.h"

#include "FaultInjection.h"
#include "Reader.h"

namespace jar32 {

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
  std::vector<PieceRecord> records;
  records.reserve(job.pieces.size());
  for (size_t i = 0; i < job.pieces.size(); ++i) {
    const PiecePlan& p = job.pieces[i];
    PieceRecord r;
    r.id = p.entry;
    r.flags = uint8_t((p.first ? kPieceFirst : 0) | (p.last ? kPieceLast : 0));
    r.memberOffset = p.memberOffset;
    r.length = p.length;
    r.blockOffset = blockOffsets[i];
    r.info = entries_[p.entry].info;
    r.checksum = p.last ? entries_[p.entry].checksum : 0;
    records.push_back(std::move(r));
  }
  Bytes raw = encodeBlockMeta(records);
  b.header.type = kBlockData;
  b.header.metaGuard = metaGuard();
  randomBytes(b.header.metaNonce, kNonceBytes);
  Bytes meta = buildMetaSection(raw, metaGuard(), prot_.keys.get(), b.header.metaNonce, kBlockData);
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
  Bytes raw;
  raw.reserve(job.dataRaw);
  std::vector<uint64_t> offsets;
  if (job.kind == JobKind::EncodeOld) {
    BlockDataReader reader(*source_, job.oldBlock);
    for (const PiecePlan& p : job.pieces) {
      offsets.push_back(raw.size());
      if (p.length == 0) continue;
      reader.skip(p.sourceOffset - reader.position());
      size_t at = raw.size();
      raw.resize(at + p.length);
      for (size_t done = 0; done < p.length;) {
        size_t got = reader.read(raw.data() + at + done, p.length - done);
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
      const NewEntry& e = entries_[p.entry];
      size_t at = raw.size();
      raw.resize(at + p.length);
      if (p.length) {
        fault::point("source");
        File f = File::openRead(e.hostPath);
        if (!f.readAt(p.memberOffset, raw.data() + at, p.length))
          throw JarError(kFatal, "File changed while it was read: " + e.hostPath);
      }
      hashPiece(p, raw.data() + at);
    }
  } else {
    offsets.assign(job.pieces.size(), 0);
  }

  Built b;
  b.header.dataRaw = raw.size();
  CodecChoice codec = job.codec;
  Bytes packed;
  if (raw.empty()) {
    codec.codec = kCodecStore;
  } else {
    auto enc = Encoder::make(codec, raw.size());
    packed.reserve(raw.size() / 2);
    enc->write(raw.data(), raw.size(), packed);
    enc->finish(packed);
    if (packed.size() >= raw.size()) {  // incompressible: store it
      codec.codec = kCodecStore;
      packed = std::move(raw);
    }
  }
  Bytes().swap(raw);
  b.header.codec = codec.codec;
  b.header.dataGuard = dataGuard();
  randomBytes(b.header.dataNonce, kNonceBytes);
  if (!packed.empty()) {
    b.data.reserve(packed.size() + packed.size() / kChunkBytes * 64 + 64);
    SectionWriter w(b.data, dataGuard(), prot_.keys.get(), b.header.dataNonce, kBlockData,
                    kSectionData);
    w.write(packed.data(), packed.size());
    w.finish();
  }
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
