#include "Directory.h"

#include "Format.h"
#include "jar32/Changes.h"

namespace jar32 {
namespace {

constexpr uint64_t kDirectoryVersion = 2;  // also the version of the member records
// Member fields of format 2, after those of format 1: what the flags say follows.
enum : uint64_t {
  kFieldNanoseconds = 1,
  kFieldOwner = 2,
  kFieldSparse = 4,
  kFieldHardLink = 8,
  kFieldAttributes = 16,
  kKnownFields = 31,
};
constexpr size_t kMaxAttributeName = 255;
constexpr size_t kMaxAttributeValue = 65536;
constexpr uint32_t kKnownFlags = kFlagLocked | kFlagAutoLock | kFlagRecoveryRecords |
                                 kFlagSecured | kFlagHidden | kFlagProtected | kFlagEncrypted;

void encodeMember(const MemberInfo& m, ByteWriter& w) {
  w.str(m.name);
  w.u8(uint8_t(m.kind));
  w.var(m.attributes);
  w.var(m.mode);
  w.var(m.size);
  w.svar(m.mtime);
  w.str(m.linkTarget);
  w.var(m.chapters.first);
  w.var(m.chapters.last);
  uint64_t fields = 0;
  if (m.preciseTime) fields |= kFieldNanoseconds;
  if (m.hasOwner) fields |= kFieldOwner;
  if (m.sparse) fields |= kFieldSparse;
  if (!m.hardLinkTarget.empty()) fields |= kFieldHardLink;
  if (!m.xattrs.empty()) fields |= kFieldAttributes;
  w.var(fields);
  if (fields & kFieldNanoseconds) w.var(m.mtimeNsec);
  if (fields & kFieldOwner) {
    w.var(m.uid);
    w.var(m.gid);
    w.str(m.owner);
    w.str(m.group);
  }
  if (fields & kFieldHardLink) w.str(m.hardLinkTarget);
  if (fields & kFieldAttributes) {
    w.var(m.xattrs.size());
    for (const auto& a : m.xattrs) {
      w.str(a.name);
      w.str(a.value);
    }
  }
}

void decodeMember(ByteReader& r, MemberInfo& m, uint64_t version) {
  m.name = r.str(kMaxNameBytes);
  uint8_t kind = r.u8();
  if (kind > uint8_t(MemberKind::Symlink)) r.fail();
  m.kind = MemberKind(kind);
  m.attributes = uint32_t(r.var(0xFFFF));
  m.mode = uint32_t(r.var(07777));
  m.size = r.var();
  m.mtime = r.svar();
  m.linkTarget = r.str(kMaxNameBytes);
  m.chapters.first = uint32_t(r.var(0xFFFFFFFF));
  m.chapters.last = uint32_t(r.var(0xFFFFFFFF));
  m.mtimeNsec = 0;
  m.preciseTime = false;
  m.hasOwner = false;
  m.sparse = false;
  m.hardLinkTarget.clear();
  m.xattrs.clear();
  if (version < 2) return;
  const uint64_t fields = r.var(kKnownFields);
  if (fields & kFieldNanoseconds) {
    m.mtimeNsec = uint32_t(r.var(999999999));
    m.preciseTime = true;
  }
  if (fields & kFieldOwner) {
    m.hasOwner = true;
    m.uid = uint32_t(r.var(0xFFFFFFFF));
    m.gid = uint32_t(r.var(0xFFFFFFFF));
    m.owner = r.str(kMaxAttributeName);
    m.group = r.str(kMaxAttributeName);
  }
  m.sparse = fields & kFieldSparse;
  if (fields & kFieldHardLink) {
    m.hardLinkTarget = r.str(kMaxNameBytes);
    if (m.hardLinkTarget.empty()) r.fail();
  }
  if (fields & kFieldAttributes) {
    const uint64_t n = r.var(r.remaining() / 2);
    if (n == 0) r.fail();
    m.xattrs.resize(size_t(n));
    for (auto& a : m.xattrs) {
      a.name = r.str(kMaxAttributeName);
      a.value = r.str(kMaxAttributeValue);
      if (a.name.empty()) r.fail();
    }
  }
}

uint64_t readVersion(ByteReader& r) {
  const uint64_t version = r.var();
  if (version < 1 || version > kDirectoryVersion) r.fail();
  return version;
}

}  // namespace

bool plausibleMember(const MemberInfo& m, uint32_t chapterCount) {
  if (m.name.empty() || m.name.find('\0') != std::string::npos) return false;
  if (m.kind != MemberKind::File && m.size != 0) return false;
  if (m.kind != MemberKind::Symlink && !m.linkTarget.empty()) return false;
  if (m.kind != MemberKind::File && (m.sparse || !m.hardLinkTarget.empty())) return false;
  if (m.hardLinkTarget == m.name) return false;
  return m.chapters.first >= 1 && m.chapters.first <= m.chapters.last &&
         m.chapters.last <= chapterCount;
}

void encodeInfo(const ArchiveInfo& info, ByteWriter& w) {
  w.var(info.flags & (kFlagLocked | kFlagAutoLock));
  w.var(info.lockedChapters);
  w.svar(info.created);
  w.svar(info.modified);
  w.str(info.comment);
  w.var(info.chapterCount);
  w.var(info.chapterComments.size());
  for (const auto& c : info.chapterComments) {
    w.var(c.chapter);
    w.str(c.text);
  }
}

void decodeInfo(ByteReader& r, ArchiveInfo& info) {
  info.flags = uint32_t(r.var(kKnownFlags)) & (kFlagLocked | kFlagAutoLock);
  info.lockedChapters = uint32_t(r.var(0xFFFFFFFF));
  info.created = r.svar();
  info.modified = r.svar();
  info.comment = r.str(kMaxCommentBytes);
  info.chapterCount = uint32_t(r.var(0xFFFFFFFF));
  if (info.chapterCount == 0 || info.lockedChapters > info.chapterCount) r.fail();
  uint64_t n = r.var(info.chapterCount);
  info.chapterComments.clear();
  uint32_t previous = 0;
  for (uint64_t i = 0; i < n; ++i) {
    ChapterComment c;
    c.chapter = uint32_t(r.var(info.chapterCount));
    if (c.chapter <= previous) r.fail();
    previous = c.chapter;
    c.text = r.str(kMaxCommentBytes);
    info.chapterComments.push_back(std::move(c));
  }
}

Bytes encodeDirectory(const Directory& dir) {
  Bytes out;
  out.reserve(64 + dir.entries.size() * 64);
  ByteWriter w(out);
  w.var(kDirectoryVersion);
  encodeInfo(dir.info, w);
  w.var(dir.blocks.size());
  for (const auto& b : dir.blocks) {
    w.var(b.offset);
    w.var(b.size);
    w.var(b.dataRaw);
    w.var(b.dataStored);
  }
  w.var(dir.entries.size());
  for (const auto& e : dir.entries) {
    encodeMember(e.info, w);
    w.u64(e.checksum);
    w.var(e.block == kNoBlock ? 0 : uint64_t(e.block) + 1);
    w.var(e.offset);
  }
  return out;
}

Directory decodeDirectory(const Bytes& raw, uint64_t fileSize, bool keepEntries) {
  ByteReader r(raw.data(), raw.size(), "directory");
  const uint64_t version = readVersion(r);
  Directory dir;
  decodeInfo(r, dir.info);
  // Every block takes at least a header, every entry at least 15 bytes: bound the counts first.
  uint64_t nBlocks = r.var(fileSize / 112 + 1);
  dir.blocks.resize(nBlocks);
  std::vector<uint64_t> rawAfter(nBlocks + 1, 0);  // data bytes from block i to the end
  for (auto& b : dir.blocks) {
    b.offset = r.var(fileSize);
    b.size = r.var(fileSize);
    b.dataRaw = r.var(kMaxBlockRaw);
    b.dataStored = r.var(fileSize);
    if (b.offset + b.size > fileSize || b.dataStored > b.size) r.fail();
  }
  for (size_t i = nBlocks; i-- > 0;) rawAfter[i] = rawAfter[i + 1] + dir.blocks[i].dataRaw;
  uint64_t nEntries = r.var(r.remaining() / 15);
  if (keepEntries) dir.entries.resize(nEntries);
  Entry scratch;
  for (uint64_t k = 0; k < nEntries; ++k) {
    Entry& e = keepEntries ? dir.entries[k] : scratch;
    decodeMember(r, e.info, version);
    if (!plausibleMember(e.info, dir.info.chapterCount)) r.fail();
    e.checksum = r.u64();
    uint64_t block = r.var(nBlocks);
    e.block = block == 0 ? kNoBlock : uint32_t(block - 1);
    e.offset = r.var();
    if (e.info.size) {
      if (e.block == kNoBlock || e.offset >= dir.blocks[e.block].dataRaw ||
          e.info.size > rawAfter[e.block] - e.offset)
        r.fail();
    } else if (e.offset != 0) {
      r.fail();
    }
  }
  if (!r.atEnd()) r.fail();
  return dir;
}

BlockMetaWriter::BlockMetaWriter(size_t count) : w_(out_), left_(count) {
  w_.var(kDirectoryVersion);
  w_.var(count);
}

void BlockMetaWriter::add(uint64_t id, uint8_t flags, uint64_t memberOffset, uint64_t length,
                          uint64_t blockOffset, const MemberInfo& info, uint64_t checksum) {
  if (left_ == 0) throw JarError(kInternal, "more member records than announced");
  --left_;
  w_.var(id);
  w_.u8(flags);
  w_.var(memberOffset);
  w_.var(length);
  w_.var(blockOffset);
  encodeMember(info, w_);
  w_.u64(checksum);
}

Bytes BlockMetaWriter::finish() {
  if (left_ != 0) throw JarError(kInternal, "fewer member records than announced");
  return std::move(out_);
}

std::vector<PieceRecord> decodeBlockMeta(const Bytes& raw, uint64_t blockDataRaw, bool keep) {
  ByteReader r(raw.data(), raw.size(), "member records");
  const uint64_t version = readVersion(r);
  uint64_t n = r.var(r.remaining() / 16);
  std::vector<PieceRecord> pieces(keep ? n : 0);
  PieceRecord scratch;
  for (uint64_t k = 0; k < n; ++k) {
    PieceRecord& p = keep ? pieces[k] : scratch;
    p.id = r.var();
    p.flags = r.u8();
    p.memberOffset = r.var();
    p.length = r.var(blockDataRaw);
    p.blockOffset = r.var(blockDataRaw);
    decodeMember(r, p.info, version);
    p.checksum = r.u64();
    if (p.blockOffset + p.length > blockDataRaw || p.memberOffset > p.info.size ||
        p.length > p.info.size - p.memberOffset)
      r.fail();
  }
  if (!r.atEnd()) r.fail();
  return pieces;
}

}  // namespace jar32
