#include "Directory.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "Checksum.h"
#include "Format.h"
#include "jar32/Changes.h"

namespace jar32 {
namespace {

constexpr uint64_t kDirectoryVersion = kRecordsVersion;
// Version 4 records: the piece (offsets, length, checksum) is the previous record's.
constexpr uint8_t kPieceAsBefore = 4;
// Version 5 names share their start with the previous name; all names of a block's records
// together are at most this many times the bytes of the records, so that hostile records cannot
// make a small archive need much memory.
constexpr uint64_t kNameBytesPerRecordByte = 4;
// A record of version 4 or later takes at least this many bytes in its columns.
constexpr uint64_t kLeastRecordBytes = 12;
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

Bytes encodeDirectory(const Directory& dir, uint64_t version) {
  Bytes out;
  out.reserve(64 + dir.entries.size() * (version >= 3 ? 4 : 64));
  ByteWriter w(out);
  w.var(version);
  encodeInfo(dir.info, w);
  w.var(dir.blocks.size());
  for (const auto& b : dir.blocks) {
    w.var(b.offset);
    w.var(b.size);
    w.var(b.dataRaw);
    w.var(b.dataStored);
  }
  w.var(dir.entries.size());
  uint64_t previousBlock = 0, expectIndex = 0;
  for (const auto& e : dir.entries) {
    if (version >= 3 && e.record.block != kNoBlock) {
      // A reference: the block (relative to the previous one) and the record index
      // (relative to the one after the previous reference in the same block).
      const int64_t step = int64_t(e.record.block) - int64_t(previousBlock);
      if (e.record.block != previousBlock) expectIndex = 0;
      w.var(1 + ((uint64_t(step) << 1) ^ uint64_t(step >> 63)));
      w.svar(int64_t(e.record.index - expectIndex));
      previousBlock = e.record.block;
      expectIndex = e.record.index + 1;
      continue;
    }
    if (version >= 3) w.var(0);
    encodeMember(e.info, w);
    w.u64(e.checksum);
    w.var(e.block == kNoBlock ? 0 : uint64_t(e.block) + 1);
    w.var(e.offset);
  }
  return out;
}

namespace {

// forEachBlockRecord with the visitor inlined (defined below).
template <typename Visit>
void eachBlockRecord(const Bytes& raw, uint64_t blockDataRaw, const Visit& visit,
                     ChapterRange wanted);

// The checks every entry passes, whether the directory or a block record held its fields.
void checkEntry(const Entry& e, const Directory& dir, const std::vector<uint64_t>& rawAfter,
                ByteReader& r) {
  if (e.brief) {
    const ChapterRange& c = e.info.chapters;
    if ((e.info.kind != MemberKind::File && e.info.size != 0) || c.first < 1 || c.first > c.last ||
        c.last > dir.info.chapterCount)
      r.fail();
  } else if (!plausibleMember(e.info, dir.info.chapterCount)) {
    r.fail();
  }
  if (e.info.size) {
    if (e.block == kNoBlock || e.offset >= dir.blocks[e.block].dataRaw ||
        e.info.size > rawAfter[e.block] - e.offset)
      r.fail();
  } else if (e.offset != 0) {
    r.fail();
  }
}

std::vector<uint64_t> rawAfterBlocks(const Directory& dir) {
  std::vector<uint64_t> rawAfter(dir.blocks.size() + 1, 0);  // data bytes from block i on
  for (size_t i = dir.blocks.size(); i-- > 0;) rawAfter[i] = rawAfter[i + 1] + dir.blocks[i].dataRaw;
  return rawAfter;
}

}  // namespace

Directory decodeDirectory(const Bytes& raw, uint64_t fileSize, bool keepEntries) {
  ByteReader r(raw.data(), raw.size(), "directory");
  const uint64_t version = readVersion(r);
  Directory dir;
  decodeInfo(r, dir.info);
  // Every block takes at least a header, every entry at least 2 bytes (15 before format 3):
  // bound the counts first.
  uint64_t nBlocks = r.var(fileSize / 112 + 1);
  dir.blocks.resize(nBlocks);
  for (auto& b : dir.blocks) {
    b.offset = r.var(fileSize);
    b.size = r.var(fileSize);
    b.dataRaw = r.var(kMaxBlockRaw);
    b.dataStored = r.var(fileSize);
    if (b.offset + b.size > fileSize || b.dataStored > b.size) r.fail();
  }
  const std::vector<uint64_t> rawAfter = rawAfterBlocks(dir);
  uint64_t nEntries = r.var(r.remaining() / (version >= 3 ? 2 : 15));
  if (keepEntries) dir.entries.resize(nEntries);
  Entry scratch;
  uint64_t previousBlock = 0, expectIndex = 0;
  for (uint64_t k = 0; k < nEntries; ++k) {
    Entry& e = keepEntries ? dir.entries[k] : scratch;
    if (version >= 3) {
      const uint64_t tag = r.var();
      if (tag != 0) {
        const uint64_t z = tag - 1;
        const int64_t step = int64_t(z >> 1) ^ -int64_t(z & 1);
        const int64_t block = int64_t(previousBlock) + step;
        if (block < 0 || uint64_t(block) >= nBlocks) r.fail();
        if (uint64_t(block) != previousBlock) expectIndex = 0;
        const int64_t index = int64_t(expectIndex) + r.svar();
        if (index < 0 || uint64_t(index) >= (1ull << 40)) r.fail();
        e.record = {uint32_t(block), uint64_t(index)};  // the rest is filled in later
        previousBlock = uint64_t(block);
        expectIndex = uint64_t(index) + 1;
        continue;
      }
    }
    decodeMember(r, e.info, version);
    e.checksum = r.u64();
    uint64_t block = r.var(nBlocks);
    e.block = block == 0 ? kNoBlock : uint32_t(block - 1);
    e.offset = r.var();
    e.record = RecordRef{};
    checkEntry(e, dir, rawAfter, r);
  }
  if (!r.atEnd()) r.fail();
  return dir;
}

bool hasRecordRefs(const Directory& dir) {
  return std::any_of(dir.entries.begin(), dir.entries.end(),
                     [](const Entry& e) { return e.record.block != kNoBlock; });
}

void resolveRecords(Directory& dir, const std::function<Bytes(uint32_t)>& loadMeta,
                    uint64_t metaBudget, ChapterRange wanted) {
  ByteReader fail(nullptr, 0, "member records");
  // The references by block, then by record; a record is referred to at most once.
  std::vector<size_t> order;
  for (size_t i = 0; i < dir.entries.size(); ++i)
    if (dir.entries[i].record.block != kNoBlock) order.push_back(i);
  auto before = [&](size_t a, size_t b) {
    const RecordRef& x = dir.entries[a].record;
    const RecordRef& y = dir.entries[b].record;
    return x.block != y.block ? x.block < y.block : x.index < y.index;
  };
  // A writer's references mostly come in this order already.
  if (!std::is_sorted(order.begin(), order.end(), before))
    std::sort(order.begin(), order.end(), before);
  struct Open {  // a version whose data goes on in the next block
    size_t entry;
    uint64_t next;
    bool found;
  };
  std::unordered_map<uint64_t, Open> open, still;  // by id
  size_t k = 0;
  uint64_t loaded = 0;
  for (uint32_t b = 0; b < dir.blocks.size(); ++b) {
    if (open.empty() && (k == order.size() || dir.entries[order[k]].record.block != b)) continue;
    const Bytes meta = loadMeta(b);
    loaded += meta.size();
    if (loaded > metaBudget) fail.fail();
    const uint64_t dataRaw = dir.blocks[b].dataRaw;
    still.clear();
    eachBlockRecord(meta, dataRaw, [&](uint64_t index, PieceRecord& p) {
      // A piece of a version that started in an earlier block (the first such record counts).
      if (!(p.flags & kPieceFirst) && p.blockOffset == 0 && !open.empty()) {
        auto it = open.find(p.id);
        if (it != open.end() && !it->second.found) {
          Open& o = it->second;
          o.found = true;
          Entry& e = dir.entries[o.entry];
          if (p.memberOffset != o.next || (!p.brief && !e.brief && p.info.name != e.info.name))
            fail.fail();
          const uint64_t next = o.next + p.length;
          if (p.flags & kPieceLast) {
            if (next != e.info.size) fail.fail();
            e.checksum = p.checksum;
          } else {
            if (p.length != dataRaw || next >= e.info.size) fail.fail();
            if (!still.emplace(p.id, Open{o.entry, next, false}).second) fail.fail();
          }
        }
      }
      // The version whose first piece this is.
      if (k == order.size() || dir.entries[order[k]].record.block != b ||
          dir.entries[order[k]].record.index != index)
        return;
      Entry& e = dir.entries[order[k]];
      ++k;
      if (!(p.flags & kPieceFirst) || p.memberOffset != 0) fail.fail();
      e.brief = p.brief;
      if (p.brief) {  // what placing and counting it needs
        e.info.kind = p.info.kind;
        e.info.size = p.info.size;
        e.info.chapters = p.info.chapters;
      } else {
        e.info = std::move(p.info);
      }
      e.block = b;
      e.offset = e.info.size ? p.blockOffset : 0;
      if (p.flags & kPieceLast) {
        if (p.length != e.info.size) fail.fail();
        e.checksum = p.checksum;
      } else {
        if (p.blockOffset + p.length != dataRaw || p.length >= e.info.size) fail.fail();
        if (!still.emplace(p.id, Open{order[k - 1], p.length, false}).second) fail.fail();
      }
    }, wanted);
    // Every version from the block before goes on here; every reference into this block was met
    // (a second reference to one record, or one past the records, is left over).
    for (const auto& [id, o] : open)
      if (!o.found) fail.fail();
    if (k < order.size() && dir.entries[order[k]].record.block == b) fail.fail();
    open.swap(still);
  }
  if (!open.empty() || k != order.size()) fail.fail();
  const std::vector<uint64_t> rawAfter = rawAfterBlocks(dir);
  for (size_t i : order) checkEntry(dir.entries[i], dir, rawAfter, fail);
}

uint64_t memberDigest(const MemberInfo& m) {
  thread_local Bytes bytes;  // kept: this runs for every member of a change
  bytes.clear();
  ByteWriter w(bytes);
  encodeMember(m, w);
  ContentHash h;
  h.update(bytes.data(), bytes.size());
  return h.digest();
}

namespace {

// The step from one nanoseconds value (0..999,999,999) to the next, zigzag: 31 bits at most.
uint32_t zigzagStep(uint32_t from, uint32_t to) {
  const int64_t d = int64_t(to) - int64_t(from);
  return uint32_t(d >= 0 ? uint64_t(d) << 1 : (uint64_t(-d) << 1) - 1);
}

int64_t unzigzag(uint32_t z) { return (z & 1) ? -int64_t(z >> 1) - 1 : int64_t(z >> 1); }

}  // namespace

// Format 3 records, column by column (the byte length of each column first): ids (svarint step from the previous), flags, pieces
// (varint member offset, svarint block offset less where the previous piece ended), lengths,
// names, kinds, attributes, modes, sizes (varint size less the piece's end), times (svarint
// step), chapters (first, then last less first), field flags, nanoseconds, owners, texts (link
// targets, hard-link targets, extended attributes) and the checksums of last pieces. Format 4:
// a record whose flags carry kPieceAsBefore has no piece, length or checksum of its own. Format 5:
// a name is the bytes it shares with the previous record's name (their count in a column of their
// own) and the rest; nanoseconds are whole milliseconds and, in a column of their own, the rest
// less the previous record's rest. Files written one after the other on a clock that ticks in
// whole milliseconds differ in the first only. Format 6: nanoseconds are the step from the
// previous record's, as four planes of bytes (the low bytes of every step, then the next): files
// written one after the other a few milliseconds apart share the high bytes of their steps; the
// rest of a name ends at a NUL instead of following its length.
struct BlockMetaWriter::Columns {
  enum { kId, kFlags, kPiece, kLength, kName, kKind, kAttributes, kMode, kSize, kTime, kChapter,
         kFields, kNanoseconds, kOwner, kText, kChecksum, kShared, kSubMillisecond, kCount };
  static int countFor(uint64_t version) {
    return version >= 6 ? kSubMillisecond : version >= 5 ? kCount : kShared;
  }
  Bytes bytes[kCount];
  std::string name;          // the previous record's
  uint64_t nameBytes = 0;    // of all names so far, whole
  uint64_t written = 0;      // bytes of all columns before this record
  uint32_t subMillisecond = 0;  // the previous record's nanoseconds past the millisecond
  uint32_t nanoseconds = 0;     // the previous record's, format 6
  std::vector<uint32_t> steps;  // of the nanoseconds, zigzag, format 6
  uint64_t id = 0, end = 0;
  int64_t mtime = 0;
  bool added = false;  // the previous record's piece:
  uint8_t flags = 0;
  uint64_t memberOffset = 0, blockOffset = 0, length = 0, checksum = 0;
  ByteWriter at(int column) { return ByteWriter(bytes[column]); }
};

BlockMetaWriter::BlockMetaWriter(size_t count, uint64_t version)
    : w_(out_), count_(count), left_(count), version_(version) {
  w_.var(version);
  w_.var(count);
  if (version >= 3) columns_ = std::make_unique<Columns>();
}

BlockMetaWriter::~BlockMetaWriter() = default;

void BlockMetaWriter::add(uint64_t id, uint8_t flags, uint64_t memberOffset, uint64_t length,
                          uint64_t blockOffset, const MemberInfo& info, uint64_t checksum) {
  if (left_ == 0) throw JarError(kInternal, "more member records than announced");
  --left_;
  if (!columns_) {
    w_.var(id);
    w_.u8(flags);
    w_.var(memberOffset);
    w_.var(length);
    w_.var(blockOffset);
    encodeMember(info, w_);
    w_.u64(checksum);
    return;
  }
  Columns& c = *columns_;
  using C = Columns;
  c.at(C::kId).svar(int64_t(id - c.id));
  c.id = id;
  // Versions sharing one stored copy follow each other: the piece is written once.
  const bool asBefore = version_ >= 4 && c.added && flags == c.flags &&
                        memberOffset == c.memberOffset && blockOffset == c.blockOffset &&
                        length == c.length && (!(flags & kPieceLast) || checksum == c.checksum);
  c.added = true;
  c.flags = flags;
  c.memberOffset = memberOffset;
  c.blockOffset = blockOffset;
  c.length = length;
  c.checksum = checksum;
  c.at(C::kFlags).u8(asBefore ? flags | kPieceAsBefore : flags);
  if (!asBefore) {
    c.at(C::kPiece).var(memberOffset);
    c.at(C::kPiece).svar(int64_t(blockOffset - c.end));
    c.end = blockOffset + length;
    c.at(C::kLength).var(length);
  }
  if (version_ >= 5) {
    // Readers refuse names that add up to more than four times the records' bytes, so a name
    // is whole where sharing would pass that (only many long names that differ at the end).
    size_t shared = 0;
    const size_t most = std::min(c.name.size(), info.name.size());
    while (shared < most && c.name[shared] == info.name[shared]) ++shared;
    c.nameBytes += info.name.size();
    const uint64_t leastTotal = c.written + kLeastRecordBytes + info.name.size() - shared;
    if (c.nameBytes > kNameBytesPerRecordByte * leastTotal) shared = 0;
    c.at(C::kShared).var(shared);
    const std::string_view rest = std::string_view(info.name).substr(shared);
    if (version_ >= 6) {
      if (rest.find('\0') != std::string_view::npos) throw JarError(kInternal, "a name with a NUL");
      c.at(C::kName).raw(reinterpret_cast<const uint8_t*>(rest.data()), rest.size());
      c.at(C::kName).u8(0);
    } else {
      c.at(C::kName).str(rest);
    }
    c.name = info.name;
  } else {
    c.at(C::kName).str(info.name);
  }
  c.at(C::kKind).u8(uint8_t(info.kind));
  c.at(C::kAttributes).var(info.attributes);
  c.at(C::kMode).var(info.mode);
  c.at(C::kSize).var(info.size - memberOffset - length);
  c.at(C::kTime).svar(int64_t(uint64_t(info.mtime) - uint64_t(c.mtime)));
  c.mtime = info.mtime;
  c.at(C::kChapter).var(info.chapters.first);
  c.at(C::kChapter).var(info.chapters.last - info.chapters.first);
  uint64_t fields = 0;
  if (info.preciseTime) fields |= kFieldNanoseconds;
  if (info.hasOwner) fields |= kFieldOwner;
  if (info.sparse) fields |= kFieldSparse;
  if (!info.hardLinkTarget.empty()) fields |= kFieldHardLink;
  if (!info.xattrs.empty()) fields |= kFieldAttributes;
  c.at(C::kFields).var(fields);
  if ((fields & kFieldNanoseconds) && info.mtimeNsec > 999999999)
    throw JarError(kInternal, "nanoseconds past a second");
  if ((fields & kFieldNanoseconds) && version_ >= 6) {
    c.steps.push_back(zigzagStep(c.nanoseconds, info.mtimeNsec));
    c.nanoseconds = info.mtimeNsec;
  } else if ((fields & kFieldNanoseconds) && version_ >= 5) {
    const uint32_t rest = info.mtimeNsec % 1000000;
    c.at(C::kNanoseconds).var(info.mtimeNsec / 1000000);
    c.at(C::kSubMillisecond).svar(int64_t(rest) - int64_t(c.subMillisecond));
    c.subMillisecond = rest;
  } else if (fields & kFieldNanoseconds) {
    c.at(C::kNanoseconds).var(info.mtimeNsec);
  }
  if (fields & kFieldOwner) {
    ByteWriter w = c.at(C::kOwner);
    w.var(info.uid);
    w.var(info.gid);
    w.str(info.owner);
    w.str(info.group);
  }
  ByteWriter text = c.at(C::kText);
  if (info.kind == MemberKind::Symlink) text.str(info.linkTarget);
  if (fields & kFieldHardLink) text.str(info.hardLinkTarget);
  if (fields & kFieldAttributes) {
    text.var(info.xattrs.size());
    for (const auto& a : info.xattrs) {
      text.str(a.name);
      text.str(a.value);
    }
  }
  if ((flags & kPieceLast) && !asBefore) c.at(C::kChecksum).u64(checksum);
  c.written = 4 * c.steps.size();
  for (const Bytes& column : c.bytes) c.written += column.size();
}

Bytes BlockMetaWriter::finish() {
  if (left_ != 0) throw JarError(kInternal, "fewer member records than announced");
  if (columns_) {
    Columns& c = *columns_;
    for (int plane = 0; plane < 4; ++plane)
      for (uint32_t step : c.steps) c.bytes[Columns::kNanoseconds].push_back(uint8_t(step >> (8 * plane)));
    const int n = Columns::countFor(version_);
    for (int i = 0; i < n; ++i) w_.var(columns_->bytes[i].size());
    for (int i = 0; i < n; ++i) w_.raw(columns_->bytes[i].data(), columns_->bytes[i].size());
  }
  return std::move(out_);
}

namespace {

// Reads the columns of format 3 (count records), one record at a time with a reader per
// column, into p; check(p) and then visit(index, p) see each record.
template <typename Visit, typename Check>
void decodeColumns(ByteReader& r, uint64_t version, uint64_t count, PieceRecord& p,
                   const Check& check,
                   const Visit& visit, ChapterRange wanted) {
  using C = BlockMetaWriter::Columns;
  ByteReader at[C::kCount];
  uint64_t total = 0;
  uint64_t lengths[C::kCount] = {};
  const int columns = C::countFor(version);
  for (int c = 0; c < columns; ++c) {
    lengths[c] = r.var(r.remaining());
    total += lengths[c];
  }
  if (total != r.remaining()) r.fail();
  const uint64_t mostNameBytes = kNameBytesPerRecordByte * total;
  uint64_t nameBytes = 0;
  std::string name;  // the previous record's, for version 5
  uint32_t subMillisecond = 0;
  const uint8_t* next = r.position();
  for (int c = 0; c < C::kCount; ++c) {
    at[c] = ByteReader(next, size_t(lengths[c]), "member records");
    next += lengths[c];
  }
  // Format 6: the nanoseconds' steps in four planes, read by index.
  const uint8_t* planes = nullptr;
  uint64_t steps = 0, step = 0;
  uint32_t nanoseconds = 0;
  if (version >= 6) {
    if (lengths[C::kNanoseconds] % 4) r.fail();
    steps = lengths[C::kNanoseconds] / 4;
    planes = at[C::kNanoseconds].position();
    at[C::kNanoseconds] = ByteReader(planes, 0, "member records");
  }
  uint64_t id = 0, end = 0;
  int64_t mtime = 0;
  const uint8_t known = version >= 4 ? kPieceFirst | kPieceLast | kPieceAsBefore : kPieceFirst | kPieceLast;
  uint8_t previousFlags = 0;
  uint64_t previousChecksum = 0, memberOffset = 0, blockOffset = 0, length = 0;
  for (uint64_t index = 0; index < count; ++index) {
    id += uint64_t(at[C::kId].svar());
    p.id = id;
    const uint8_t flags = at[C::kFlags].u8();
    if (flags & ~known) r.fail();
    p.flags = flags & (kPieceFirst | kPieceLast);
    const bool asBefore = flags & kPieceAsBefore;
    if (asBefore) {
      if (index == 0 || p.flags != previousFlags) r.fail();
    } else {
      memberOffset = at[C::kPiece].var(1ull << 62);
      blockOffset = end + uint64_t(at[C::kPiece].svar());
      length = at[C::kLength].var(1ull << 62);
      if (blockOffset > (1ull << 62)) r.fail();
      end = blockOffset + length;
    }
    p.memberOffset = memberOffset;
    p.blockOffset = blockOffset;
    p.length = length;
    previousFlags = p.flags;
    MemberInfo& m = p.info;
    const uint64_t first = at[C::kChapter].var(0xFFFFFFFF);
    const uint64_t span = at[C::kChapter].var(0xFFFFFFFF);
    if (first + span > 0xFFFFFFFF) r.fail();
    m.chapters.first = uint32_t(first);
    m.chapters.last = uint32_t(first + span);
    p.brief = !chaptersWithin(m.chapters, wanted);
    if (version >= 5) {
      // The start of the previous name, then the rest; kept for the next record even when brief.
      const uint64_t shared = at[C::kShared].var(name.size());
      name.resize(size_t(shared));
      ByteReader& names = at[C::kName];
      uint64_t rest = 0;
      if (version >= 6) {  // the rest ends at a NUL
        const size_t most = std::min<uint64_t>(names.remaining(), kMaxNameBytes - shared + 1);
        const void* nul = std::memchr(names.position(), 0, most);
        if (!nul) r.fail();
        rest = uint64_t(static_cast<const uint8_t*>(nul) - names.position());
      } else {
        rest = names.var(kMaxNameBytes - shared);
        if (rest > names.remaining()) r.fail();
      }
      name.append(reinterpret_cast<const char*>(names.position()), size_t(rest));
      names.skip(size_t(rest));
      if (version >= 6) names.skip(1);
      nameBytes += name.size();
      if (nameBytes > mostNameBytes) r.fail();
      if (p.brief) m.name.clear();
      else m.name = name;
    } else if (p.brief) {
      m.name.clear();
      at[C::kName].skipStr(kMaxNameBytes);
    } else {
      m.name = at[C::kName].str(kMaxNameBytes);
    }
    const uint8_t kind = at[C::kKind].u8();
    if (kind > uint8_t(MemberKind::Symlink)) r.fail();
    m.kind = MemberKind(kind);
    m.attributes = uint32_t(at[C::kAttributes].var(0xFFFF));
    m.mode = uint32_t(at[C::kMode].var(07777));
    m.size = p.memberOffset + p.length + at[C::kSize].var(1ull << 62);
    mtime = int64_t(uint64_t(mtime) + uint64_t(at[C::kTime].svar()));
    m.mtime = mtime;
    const uint64_t fields = at[C::kFields].var(kKnownFields);
    m.preciseTime = fields & kFieldNanoseconds;
    if (m.preciseTime && version >= 6) {
      if (step == steps) r.fail();
      uint32_t z = 0;
      for (int plane = 0; plane < 4; ++plane) z |= uint32_t(planes[plane * steps + step]) << (8 * plane);
      ++step;
      const int64_t value = int64_t(nanoseconds) + unzigzag(z);
      if (value < 0 || value > 999999999) r.fail();
      nanoseconds = uint32_t(value);
      m.mtimeNsec = nanoseconds;
    } else if (m.preciseTime && version >= 5) {
      const int64_t rest = int64_t(subMillisecond) + at[C::kSubMillisecond].svar();
      if (rest < 0 || rest > 999999) r.fail();
      subMillisecond = uint32_t(rest);
      m.mtimeNsec = uint32_t(at[C::kNanoseconds].var(999)) * 1000000 + subMillisecond;
    } else {
      m.mtimeNsec = m.preciseTime ? uint32_t(at[C::kNanoseconds].var(999999999)) : 0;
    }
    m.hasOwner = fields & kFieldOwner;
    if (m.hasOwner) {
      ByteReader& o = at[C::kOwner];
      m.uid = uint32_t(o.var(0xFFFFFFFF));
      m.gid = uint32_t(o.var(0xFFFFFFFF));
      if (p.brief) {
        o.skipStr(kMaxAttributeName);
        o.skipStr(kMaxAttributeName);
      } else {
        m.owner = o.str(kMaxAttributeName);
        m.group = o.str(kMaxAttributeName);
      }
    }
    m.sparse = fields & kFieldSparse;
    ByteReader& text = at[C::kText];
    m.linkTarget.clear();
    m.hardLinkTarget.clear();
    m.xattrs.clear();
    if (p.brief) {
      // The same checks as below, without keeping the strings.
      if (m.kind == MemberKind::Symlink) text.skipStr(kMaxNameBytes);
      if (fields & kFieldHardLink) {
        if (text.remaining() && *text.position() == 0) r.fail();
        text.skipStr(kMaxNameBytes);
      }
      if (fields & kFieldAttributes) {
        const uint64_t n = text.var(text.remaining() / 2);
        if (n == 0) r.fail();
        for (uint64_t a = 0; a < n; ++a) {
          if (text.remaining() && *text.position() == 0) r.fail();
          text.skipStr(kMaxAttributeName);
          text.skipStr(kMaxAttributeValue);
        }
      }
    } else {
      if (m.kind == MemberKind::Symlink) m.linkTarget = text.str(kMaxNameBytes);
      if (fields & kFieldHardLink) {
        m.hardLinkTarget = text.str(kMaxNameBytes);
        if (m.hardLinkTarget.empty()) r.fail();
      }
      if (fields & kFieldAttributes) {
        const uint64_t n = text.var(text.remaining() / 2);
        if (n == 0) r.fail();
        m.xattrs.resize(size_t(n));
        for (auto& a : m.xattrs) {
          a.name = text.str(kMaxAttributeName);
          a.value = text.str(kMaxAttributeValue);
          if (a.name.empty()) r.fail();
        }
      }
    }
    if (!(p.flags & kPieceLast)) p.checksum = 0;
    else if (asBefore) p.checksum = previousChecksum;
    else p.checksum = at[C::kChecksum].u64();
    previousChecksum = p.checksum;
    check(p);
    visit(index, p);
  }
  for (const ByteReader& column : at)
    if (!column.atEnd()) r.fail();
  if (step != steps) r.fail();
  r.skip(r.remaining());
}

template <typename Visit>
void eachBlockRecord(const Bytes& raw, uint64_t blockDataRaw, const Visit& visit,
                     ChapterRange wanted) {
  ByteReader r(raw.data(), raw.size(), "member records");
  const uint64_t version = readVersion(r);
  auto check = [&](const PieceRecord& p) {
    if (p.blockOffset > blockDataRaw || p.length > blockDataRaw - p.blockOffset ||
        p.memberOffset > p.info.size || p.length > p.info.size - p.memberOffset)
      r.fail();
  };
  PieceRecord p;
  if (version >= 3) {
    // Every record takes at least 15 bytes of its columns (version 4: 12 when it repeats a piece).
    const uint64_t least = version >= 4 ? kLeastRecordBytes : 15;
    decodeColumns(r, version, r.var(r.remaining() / least), p, check, visit, wanted);
    if (!r.atEnd()) r.fail();
    return;
  }
  uint64_t n = r.var(r.remaining() / 16);
  for (uint64_t k = 0; k < n; ++k) {
    p.id = r.var();
    p.flags = r.u8();
    p.memberOffset = r.var();
    p.length = r.var(blockDataRaw);
    p.blockOffset = r.var(blockDataRaw);
    decodeMember(r, p.info, version);
    p.checksum = r.u64();
    check(p);
    visit(k, p);
  }
  if (!r.atEnd()) r.fail();
}

}  // namespace

void forEachBlockRecord(const Bytes& raw, uint64_t blockDataRaw,
                        const std::function<void(uint64_t, PieceRecord&)>& visit,
                        ChapterRange wanted) {
  eachBlockRecord(raw, blockDataRaw, visit, wanted);
}

std::vector<PieceRecord> decodeBlockMeta(const Bytes& raw, uint64_t blockDataRaw, bool keep) {
  std::vector<PieceRecord> pieces;
  forEachBlockRecord(raw, blockDataRaw, [&](uint64_t, PieceRecord& p) {
    if (keep) pieces.push_back(std::move(p));
  });
  return pieces;
}

}  // namespace jar32
