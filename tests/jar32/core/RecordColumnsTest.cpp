// Member records in columns and a directory that refers to them instead of repeating them.
#include <gtest/gtest.h>

#include <lzma.h>

#include <algorithm>
#include <map>

#include "Directory.h"
#include "FileIo.h"
#include "Format.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

MemberInfo file(const std::string& name, uint64_t size, int64_t mtime) {
  MemberInfo m;
  m.name = name;
  m.size = size;
  m.mtime = mtime;
  m.mode = 0644;
  m.attributes = 32;
  m.chapters = {1, 2};
  return m;
}

// Records with every field: a link, owners, nanoseconds, a sparse file with a hard link,
// extended attributes, times going backwards, a piece that goes on in another block.
std::vector<PieceRecord> samples() {
  std::vector<PieceRecord> out;
  auto add = [&](uint64_t id, uint8_t flags, uint64_t memberOffset, uint64_t length,
                 uint64_t blockOffset, MemberInfo m, uint64_t checksum) {
    PieceRecord p;
    p.id = id;
    p.flags = flags;
    p.memberOffset = memberOffset;
    p.length = length;
    p.blockOffset = blockOffset;
    p.info = std::move(m);
    p.checksum = (flags & kPieceLast) ? checksum : 0;
    out.push_back(std::move(p));
  };
  add(7, kPieceLast, 300, 100, 0, file("big.bin", 400, 1700000000), 0x1122334455667788ull);
  MemberInfo a = file("docs\\a.txt", 10, 1600000000);
  a.preciseTime = true;
  a.mtimeNsec = 999999999;
  a.hasOwner = true;
  a.uid = 1000;
  a.gid = 4294967295u;
  a.owner = "someone";
  a.group = "";
  add(2, kPieceFirst | kPieceLast, 0, 10, 100, a, 42);
  MemberInfo link = file("docs\\link", 0, -5);
  link.kind = MemberKind::Symlink;
  link.linkTarget = "../a.txt";
  add(1, kPieceFirst | kPieceLast, 0, 0, 110, link, 0);
  MemberInfo sparse = file("holes", 50, 1700000001);
  sparse.sparse = true;
  sparse.hardLinkTarget = "docs\\a.txt";
  sparse.xattrs = {{"user.one", "1"}, {"user.empty", ""}};
  sparse.chapters = {3, 3};
  add(9, kPieceFirst | kPieceLast, 0, 50, 110, sparse, 43);
  MemberInfo folder = file("docs", 0, 1700000002);
  folder.kind = MemberKind::Folder;
  folder.attributes = 16;
  folder.mode = 0755;
  add(3, kPieceFirst | kPieceLast, 0, 0, 160, folder, 44);
  add(8, kPieceFirst, 0, 40, 160, file("next.bin", 1000, 1700000003), 0);
  return out;
}

Bytes encode(const std::vector<PieceRecord>& records, uint64_t version) {
  BlockMetaWriter w(records.size(), version);
  for (const auto& p : records)
    w.add(p.id, p.flags, p.memberOffset, p.length, p.blockOffset, p.info, p.checksum);
  return w.finish();
}

void expectSame(const std::vector<PieceRecord>& got, const std::vector<PieceRecord>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE(want[i].info.name);
    EXPECT_EQ(got[i].id, want[i].id);
    EXPECT_EQ(got[i].flags, want[i].flags);
    EXPECT_EQ(got[i].memberOffset, want[i].memberOffset);
    EXPECT_EQ(got[i].length, want[i].length);
    EXPECT_EQ(got[i].blockOffset, want[i].blockOffset);
    EXPECT_EQ(got[i].checksum, want[i].checksum);
    EXPECT_EQ(memberDigest(got[i].info), memberDigest(want[i].info));
    EXPECT_EQ(got[i].info.xattrs, want[i].info.xattrs);
    EXPECT_EQ(got[i].info.owner, want[i].info.owner);
  }
}

TEST(RecordColumns, EveryFieldComesBackInBothLayouts) {
  const auto records = samples();
  for (uint64_t version : {2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE(version);
    expectSame(decodeBlockMeta(encode(records, version), 200), records);
  }
  EXPECT_TRUE(decodeBlockMeta(encode({}, 3), 0).empty());
}

TEST(RecordColumns, CutGarbledAndOutOfRangeRecordsAreDamage) {
  for (uint64_t version : {3u, 5u, 6u}) {
    SCOPED_TRACE(version);
    const Bytes good = encode(samples(), version);
    for (size_t n = 0; n < good.size(); ++n) {  // every cut
      Bytes cut(good.begin(), good.begin() + long(n));
      EXPECT_THROW(decodeBlockMeta(cut, 200), JarError) << n;
    }
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_THROW(decodeBlockMeta(longer, 200), JarError);
    EXPECT_THROW(decodeBlockMeta(good, 199), JarError);  // the last piece ends past the data
    // Flags beyond first and last.
    auto records = samples();
    records[1].flags |= version == 3 ? 4 : 8;  // the "as before" bit came with version 4
    EXPECT_THROW(decodeBlockMeta(encode(records, version), 200), JarError);
    // A count no bytes back.
    Bytes huge = {uint8_t(version), 0xFF, 0xFF, 0xFF, 0xFF, 0x0F};
    EXPECT_THROW(decodeBlockMeta(huge, 200), JarError);
    // Any byte changed: damage or other records, never a crash.
    for (size_t i = 0; i < good.size(); ++i) {
      Bytes flipped = good;
      flipped[i] ^= 0x5A;
      try {
        decodeBlockMeta(flipped, 200);
      } catch (const JarError&) {
      }
    }
  }
}

// Files of one folder, written one after the other on a clock of 4 ms ticks.
std::vector<PieceRecord> folderOfFiles(int n, const std::string& folder) {
  std::vector<PieceRecord> out;
  for (int i = 0; i < n; ++i) {
    PieceRecord p;
    p.id = uint64_t(i);
    p.flags = kPieceFirst | kPieceLast;
    p.length = 10;
    p.blockOffset = uint64_t(i) * 10;
    p.info = file(folder + "\\module_" + std::to_string(i % 7) + "_" + std::to_string(i) + ".py", 10, 1700000000 + i / 250);
    p.info.preciseTime = true;
    p.info.mtimeNsec = uint32_t((i % 250) * 4000000 + 390583 - i / 100);
    p.info.chapters = {uint32_t(1 + i % 3), uint32_t(1 + i % 3)};
    p.checksum = 42;
    out.push_back(std::move(p));
  }
  return out;
}

// Version 5: a name is what it shares with the name before it and the rest; nanoseconds are
// milliseconds and the rest less the record before's. Both read back whatever is skipped.
TEST(RecordColumns, NamesShareTheirStartAndNanosecondsTheirRest) {
  const std::string folder = "usr\\lib\\python3\\dist-packages\\some_package\\submodule";
  const auto records = folderOfFiles(1000, folder);
  const Bytes v5 = encode(records, 5);
  expectSame(decodeBlockMeta(v5, 10000), records);
  const uint8_t nonce[kNonceBytes] = {};
  const size_t packed5 = buildMetaSection(v5, kGuardCrc, nullptr, nonce, kBlockData, 19).size();
  const size_t packed4 = buildMetaSection(encode(records, 4), kGuardCrc, nullptr, nonce, kBlockData, 19).size();
  EXPECT_LT(packed5, packed4 * 3 / 4) << packed5 << " " << packed4;
  EXPECT_LT(v5.size(), encode(records, 4).size() / 2);

  // Records of other chapters come brief, and the names after them still come whole.
  std::vector<PieceRecord> got;
  forEachBlockRecord(v5, 10000, [&](uint64_t, PieceRecord& p) { if (!p.brief) got.push_back(p); }, {2, 2});
  std::vector<PieceRecord> want;
  for (const auto& p : records)
    if (p.info.chapters.first == 2) want.push_back(p);
  expectSame(got, want);

  // A name that shares more than the name before it has: the shared counts are the last
  // column but one, and the last is empty without nanoseconds.
  auto plain = folderOfFiles(3, folder);
  for (auto& p : plain) {
    p.info.preciseTime = false;
    p.info.mtimeNsec = 0;
  }
  Bytes raw = encode(plain, 5);
  expectSame(decodeBlockMeta(raw, 10000), plain);
  raw.back() = 0x7F;
  EXPECT_THROW(decodeBlockMeta(raw, 10000), JarError);
  // Nanoseconds past a second.
  auto late = folderOfFiles(2, folder);
  late[0].info.mtimeNsec = late[1].info.mtimeNsec = 999999999;
  raw = encode(late, 5);
  expectSame(decodeBlockMeta(raw, 10000), late);
  ASSERT_EQ(raw.back(), 0);
  raw.back() = 2;  // the second's rest: 999,999 + 1
  EXPECT_THROW(decodeBlockMeta(raw, 10000), JarError);
}

// The varint count and the columns of records of version 6, and back.
struct SplitRecords {
  uint64_t count = 0;
  std::vector<Bytes> columns;
  explicit SplitRecords(const Bytes& raw) {
    ByteReader r(raw.data(), raw.size(), "test");
    EXPECT_EQ(r.var(), 6u);
    count = r.var();
    std::vector<uint64_t> lengths(17);
    for (auto& n : lengths) n = r.var();
    for (uint64_t n : lengths) {
      columns.emplace_back(r.position(), r.position() + n);
      r.skip(size_t(n));
    }
  }
  Bytes join() const {
    Bytes raw;
    ByteWriter w(raw);
    w.var(6);
    w.var(count);
    for (const Bytes& c : columns) w.var(c.size());
    for (const Bytes& c : columns) w.raw(c.data(), c.size());
    return raw;
  }
};

// Version 6: nanoseconds are the steps from the record before, in four planes of bytes (files
// written a few milliseconds apart on a fine clock share the high bytes of their steps), and the
// rest of a name ends at a NUL.
TEST(RecordColumns, NanosecondsAreStepsInPlanesOfBytesAndNamesEndAtANul) {
  auto records = folderOfFiles(2000, "share\\doc");
  uint64_t clock = 1700000000ull * 1000000000ull;
  uint32_t jitter = 12345;
  for (auto& p : records) {
    jitter = jitter * 1103515245u + 12345u;
    clock += 3500000 + (jitter >> 8) % 200000;
    p.info.mtime = int64_t(clock / 1000000000);
    p.info.mtimeNsec = uint32_t(clock % 1000000000);
  }
  const Bytes v6 = encode(records, 6);
  expectSame(decodeBlockMeta(v6, 20000), records);
  const uint8_t nonce[kNonceBytes] = {};
  const size_t packed6 = buildMetaSection(v6, kGuardCrc, nullptr, nonce, kBlockData, 19).size();
  const size_t packed5 = buildMetaSection(encode(records, 5), kGuardCrc, nullptr, nonce, kBlockData, 19).size();
  EXPECT_LT(packed6 * 10, packed5 * 9) << packed6 << " " << packed5;

  // The longest steps both ways, and records without nanoseconds between: they have no step.
  auto mixed = folderOfFiles(5, "x");
  const uint32_t nsec[5] = {999999999, 0, 7, 999999999, 5};
  for (int i = 0; i < 5; ++i) mixed[i].info.mtimeNsec = nsec[i];
  mixed[2].info.preciseTime = false;
  mixed[2].info.mtimeNsec = 0;
  const Bytes raw = encode(mixed, 6);
  expectSame(decodeBlockMeta(raw, 100), mixed);
  const SplitRecords split(raw);
  const Bytes& planes = split.columns[12];
  ASSERT_EQ(planes.size(), 16u);  // four steps of four bytes
  // Plane 0 holds the low bytes: 999,999,999 from 0 is 1,999,999,998 in zigzag (0x773593FE).
  EXPECT_EQ(planes[0], 0xFE);
  EXPECT_EQ(planes[12], 0x77);

  auto damaged = [&](auto change) {
    SplitRecords s(raw);
    change(s.columns[12]);
    return s.join();
  };
  EXPECT_THROW(decodeBlockMeta(damaged([](Bytes& c) { c.pop_back(); }), 100), JarError);
  // A step fewer, and one more, than records with nanoseconds.
  EXPECT_THROW(decodeBlockMeta(damaged([](Bytes& c) {
                 Bytes fewer;
                 for (int plane = 0; plane < 4; ++plane)
                   fewer.insert(fewer.end(), c.begin() + plane * 4, c.begin() + plane * 4 + 3);
                 c = fewer;
               }), 100), JarError);
  EXPECT_THROW(decodeBlockMeta(damaged([](Bytes& c) { c.insert(c.end(), 4, 0); }), 100), JarError);
  // A first step to a whole second (0x77359400), and one below zero (-1,000,000,000).
  EXPECT_THROW(decodeBlockMeta(damaged([](Bytes& c) { c[0] = 0x00, c[4] = 0x94; }), 100), JarError);
  EXPECT_THROW(decodeBlockMeta(damaged([](Bytes& c) { c[0] = 0xFF; }), 100), JarError);

  // Names: the first whole, then what follows the shared start, each with its NUL.
  const std::string names(split.columns[4].begin(), split.columns[4].end());
  EXPECT_EQ(names.substr(0, 22), std::string("x\\module_0_0.py\0" "1_1.py\0", 22));
  EXPECT_EQ(std::count(names.begin(), names.end(), '\0'), 5);
  auto renamed = [&](auto change) {
    SplitRecords s(raw);
    change(s.columns[4]);
    return s.join();
  };
  EXPECT_THROW(decodeBlockMeta(renamed([](Bytes& c) { c.back() = 'y'; }), 100), JarError);
  // A name longer than names may be, though its NUL lies within the column.
  EXPECT_THROW(decodeBlockMeta(renamed([](Bytes& c) { c.insert(c.begin(), kMaxNameBytes, 'n'); }), 100),
               JarError);
  EXPECT_THROW(encode({[&] { auto p = mixed[0]; p.info.name = std::string("a\0b", 3); return p; }()}, 6),
               JarError);
}

// Shared starts could make a few bytes of records stand for gigabytes of names: names that add up
// to more than four bytes for each byte of the records are damage, and the writer keeps below that
// by writing names whole where it must.
TEST(RecordColumns, NamesCannotAddUpToMuchMoreThanTheRecords) {
  // Many long names that differ only at the end, as the writer writes them.
  std::vector<PieceRecord> deep;
  const std::string longFolder(30000, 'd');
  for (int i = 0; i < 200; ++i) {
    PieceRecord p;
    p.id = uint64_t(i);
    p.flags = kPieceFirst | kPieceLast;
    p.info = file(longFolder + "\\" + std::to_string(i), 0, 1);
    deep.push_back(std::move(p));
  }
  const Bytes written = encode(deep, 5);
  expectSame(decodeBlockMeta(written, 0), deep);
  EXPECT_GE(written.size() * 4, deep.size() * (longFolder.size() + 4));

  // The same by hand, every name sharing all of the one before it: 25 bytes a record.
  auto handMade = [](uint64_t count, uint64_t nameBytes) {
    Bytes columns[18];
    auto var = [](Bytes& b, uint64_t v) {
      for (; v >= 0x80; v >>= 7) b.push_back(uint8_t(v | 0x80));
      b.push_back(uint8_t(v));
    };
    for (uint64_t i = 0; i < count; ++i) {
      columns[0].push_back(0);                            // id step
      columns[1].push_back(kPieceFirst | kPieceLast);     // flags
      columns[2].insert(columns[2].end(), {0, 0});        // piece
      columns[3].push_back(0);                            // length
      if (i == 0) {
        var(columns[4], nameBytes);
        columns[4].insert(columns[4].end(), nameBytes, 'a');
      } else {
        columns[4].push_back(0);  // nothing after the shared start
      }
      for (int c : {5, 6, 7, 8, 9, 11}) columns[c].push_back(0);
      columns[10].insert(columns[10].end(), {1, 0});      // chapters
      columns[15].insert(columns[15].end(), 8, 0x11);     // checksum
      var(columns[16], i == 0 ? 0 : nameBytes);          // shared
    }
    Bytes raw;
    var(raw, 5);
    var(raw, count);
    for (const Bytes& c : columns) var(raw, c.size());
    for (const Bytes& c : columns) raw.insert(raw.end(), c.begin(), c.end());
    return raw;
  };
  EXPECT_EQ(decodeBlockMeta(handMade(1000, 20), 0).size(), 1000u);
  EXPECT_THROW(decodeBlockMeta(handMade(1000, 30000), 0), JarError);
}

// Names sharing one stored copy (hard links, equal content) follow each other: version 4 writes
// their piece and checksum once.
TEST(RecordColumns, VersionsSharingAPieceWriteItOnce) {
  auto records = samples();
  PieceRecord twin = records[1], third = records[1];
  twin.id = 20;
  twin.info.name = "docs\\b.txt";
  third.id = 21;
  third.info.name = "docs\\c.txt";
  records.insert(records.begin() + 2, {twin, third});
  for (uint64_t version : {3u, 4u}) {
    SCOPED_TRACE(version);
    expectSame(decodeBlockMeta(encode(records, version), 200), records);
  }
  const Bytes v4 = encode(records, 4);
  EXPECT_LE(v4.size() + 20, encode(records, 3).size());
  for (size_t n = 0; n < v4.size(); ++n)  // every cut
    EXPECT_THROW(decodeBlockMeta(Bytes(v4.begin(), v4.begin() + long(n)), 200), JarError) << n;
  // The same records as version 3 lose the piece of the two that repeat it.
  Bytes asThree = v4;
  asThree[0] = 3;
  EXPECT_THROW(decodeBlockMeta(asThree, 200), JarError);
}

TEST(RecordColumns, ColumnsCompressBetterThanRows) {
  // The same fields column by column hold the same bytes; equal values now lie together.
  std::vector<PieceRecord> many;
  for (int i = 0; i < 2000; ++i) {
    PieceRecord p;
    p.id = uint64_t(i);
    p.flags = kPieceFirst | kPieceLast;
    p.length = 100;
    p.blockOffset = uint64_t(i) * 100;
    p.info = file("folder\\file" + std::to_string(i) + ".txt", 100, 1700000000 + i);
    p.checksum = 0x9E3779B97F4A7C15ull * uint64_t(i + 1);
    many.push_back(std::move(p));
  }
  const uint8_t nonce[kNonceBytes] = {};
  const size_t columns = buildMetaSection(encode(many, 3), kGuardCrc, nullptr, nonce, kBlockData, 19).size();
  const size_t rows = buildMetaSection(encode(many, 2), kGuardCrc, nullptr, nonce, kBlockData, 19).size();
  EXPECT_LT(columns, rows * 3 / 4) << columns << " " << rows;
}

// Two data blocks: "big" starts in block 0 and ends in block 1, "small" and "empty" lie in
// block 1.
struct TwoBlocks {
  Directory dir;
  std::map<uint32_t, std::vector<PieceRecord>> records;

  TwoBlocks() {
    dir.info.chapterCount = 2;
    dir.blocks = {{96, 1000, 300, 200}, {1096, 1000, 200, 100}};
    auto piece = [](uint64_t id, uint8_t flags, uint64_t at, uint64_t length, uint64_t offset,
                    const MemberInfo& m, uint64_t sum) {
      PieceRecord p;
      p.id = id;
      p.flags = flags;
      p.memberOffset = at;
      p.length = length;
      p.blockOffset = offset;
      p.info = m;
      p.checksum = sum;
      return p;
    };
    const MemberInfo big = file("big", 400, 1), small = file("small", 100, 2);
    MemberInfo empty = file("empty", 0, 3);
    records[0] = {piece(5, kPieceFirst, 0, 300, 0, big, 0)};
    records[1] = {piece(5, kPieceLast, 300, 100, 0, big, 111),
                  piece(6, kPieceFirst | kPieceLast, 0, 100, 100, small, 222),
                  piece(7, kPieceFirst | kPieceLast, 0, 0, 200, empty, 333)};
    for (auto [block, index] : {std::pair{1u, 2u}, {0u, 0u}, {1u, 1u}}) {
      Entry e;
      e.record = {block, index};
      dir.entries.push_back(e);
    }
  }
  // The directory through its bytes, then its references filled in.
  Directory resolve(uint64_t budget = 1 << 20) const {
    Directory d = decodeDirectory(encodeDirectory(dir), 1 << 20);
    resolveRecords(
        d, [&](uint32_t b) { return encode(records.at(b), 3); }, budget);
    return d;
  }
};

TEST(DirectoryReferences, EntriesTakeTheirFieldsFromTheRecords) {
  TwoBlocks t;
  Entry explicitEntry;
  explicitEntry.info = file("stale", 5, 9);
  explicitEntry.checksum = 444;
  explicitEntry.block = 1;
  explicitEntry.offset = 150;
  t.dir.entries.insert(t.dir.entries.begin() + 1, explicitEntry);
  const Directory d = t.resolve();
  ASSERT_EQ(d.entries.size(), 4u);
  EXPECT_EQ(d.entries[0].info.name, "empty");
  EXPECT_EQ(d.entries[0].checksum, 333u);
  EXPECT_EQ(d.entries[0].offset, 0u);
  EXPECT_EQ(d.entries[1].info.name, "stale");  // written in full
  EXPECT_EQ(d.entries[1].checksum, 444u);
  EXPECT_EQ(d.entries[2].info.name, "big");
  EXPECT_EQ(d.entries[2].checksum, 111u);  // from the piece in the next block
  EXPECT_EQ(d.entries[2].block, 0u);
  EXPECT_EQ(d.entries[3].info.name, "small");
  EXPECT_EQ(d.entries[3].block, 1u);
  EXPECT_EQ(d.entries[3].offset, 100u);
  EXPECT_EQ(d.entries[3].checksum, 222u);
  // Older versions hold every entry in full.
  Directory two = decodeDirectory(encodeDirectory(d, 2), 1 << 20);
  EXPECT_FALSE(hasRecordRefs(two));
  EXPECT_EQ(two.entries[2].info.name, "big");
}

TEST(DirectoryReferences, ReferencesThatDoNotFitTheRecordsAreDamage) {
  auto rejects = [](const std::function<void(TwoBlocks&)>& change, uint64_t budget = 1 << 20) {
    TwoBlocks t;
    change(t);
    EXPECT_THROW(t.resolve(budget), JarError);
  };
  rejects([](TwoBlocks& t) { t.dir.entries[1].record = {1, 2}; });  // one record twice
  rejects([](TwoBlocks& t) { t.dir.entries[1].record = {1, 0}; });  // not a first piece
  rejects([](TwoBlocks& t) { t.dir.entries[1].record = {1, 3}; });  // no such record
  rejects([](TwoBlocks& t) { t.records[1].erase(t.records[1].begin()); });  // the rest is gone
  rejects([](TwoBlocks& t) { t.records[1][0].info.name = "other"; });
  rejects([](TwoBlocks& t) { t.records[1][0].memberOffset = 200; });  // a gap
  rejects([](TwoBlocks& t) { t.records[0][0].length = 250; });        // does not fill its block
  rejects([](TwoBlocks& t) { t.records[1][1].info.chapters = {1, 3}; });  // past the chapters
  rejects([](TwoBlocks&) {}, 40);  // more records than the file backs
  // A reference past the blocks fails already in the directory.
  TwoBlocks t;
  t.dir.entries[0].record = {2, 0};
  EXPECT_THROW(decodeDirectory(encodeDirectory(t.dir), 1 << 20), JarError);
}

}  // namespace
}  // namespace jar32::test

namespace jar32::test {
namespace {

// A meta section in a file of its own: the block header, then the section.
struct MetaFile {
  TempDir dir;
  BlockHeader header;
  Bytes write(const Bytes& raw, uint8_t codec, const Bytes* section = nullptr) {
    uint8_t nonce[kNonceBytes] = {};
    header.type = kBlockData;
    header.metaCodec = codec;
    Bytes stored = section ? *section : buildMetaSection(raw, kGuardCrc, nullptr, nonce, kBlockData, 19, &header.metaCodec);
    header.metaRaw = raw.size();
    header.metaStored = stored.size();
    Bytes file(kBlockHeaderSize);
    header.encode(file.data());
    file.insert(file.end(), stored.begin(), stored.end());
    writeBytes(dir / "m", file);
    return stored;
  }
  Bytes read() {
    File f = File::openRead(dir / "m");
    uint8_t hb[kBlockHeaderSize];
    EXPECT_TRUE(f.readAt(0, hb, sizeof hb));
    BlockHeader h;
    if (!BlockHeader::decode(hb, h)) throw JarError(kCrcError, "bad header");
    return readMeta(f, 0, h, 16, nullptr);
  }
};

TEST(MetaCodecs, XzIsKeptOnlyWhereItIsSmallerAndReadsBack) {
  const std::string text = sampleText(300000, 5);
  const Bytes large(text.begin(), text.end());
  MetaFile m;
  m.write(large, kMetaXz);
  EXPECT_EQ(m.header.metaCodec, kMetaXz);
  EXPECT_EQ(m.read(), large);
  const Bytes tiny(200, 1);  // a run zstd packs into fewer bytes than xz's container
  m.write(tiny, kMetaXz);
  EXPECT_EQ(m.header.metaCodec, kMetaZstd);
  EXPECT_EQ(m.read(), tiny);
  // Another codec number is no intact header.
  uint8_t hb[kBlockHeaderSize];
  BlockHeader h = m.header;
  h.metaCodec = 1;
  h.encode(hb);
  EXPECT_FALSE(BlockHeader::decode(hb, h));
}

TEST(MetaCodecs, CutOrGreedyXzSectionsAreDamage) {
  const std::string text = sampleText(300000, 5);
  const Bytes raw(text.begin(), text.end());
  MetaFile m;
  const Bytes stored = m.write(raw, kMetaXz);
  ASSERT_EQ(m.header.metaCodec, kMetaXz);
  // The section's one chunk: word, payload, CRC. Cut the payload and mend the chunk around it.
  auto rewrap = [](const Bytes& payload) {
    Bytes out;
    uint8_t nonce[kNonceBytes] = {};
    SectionWriter w(out, kGuardCrc, nullptr, nonce, kBlockData, kSectionMeta);
    w.write(payload.data(), payload.size());
    w.finish();
    return out;
  };
  const Bytes payload(stored.begin() + 4, stored.end() - 4);
  for (size_t cut : {size_t(1), size_t(12), payload.size() / 2}) {
    const Bytes shorter = rewrap(Bytes(payload.begin(), payload.end() - long(cut)));
    m.write(raw, kMetaXz, &shorter);
    EXPECT_THROW(m.read(), JarError) << cut;
  }
  // A stream whose dictionary needs more memory than a meta section may take.
  lzma_options_lzma opt;
  lzma_lzma_preset(&opt, 9);
  opt.dict_size = 64u << 20;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA2, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
  Bytes greedy(lzma_stream_buffer_bound(raw.size()));
  size_t n = 0;
  ASSERT_EQ(lzma_stream_buffer_encode(filters, LZMA_CHECK_NONE, nullptr, raw.data(), raw.size(),
                                      greedy.data(), &n, greedy.size()),
            LZMA_OK);
  greedy.resize(n);
  const Bytes section = rewrap(greedy);
  m.write(raw, kMetaXz, &section);
  EXPECT_THROW(m.read(), JarError);
}

}  // namespace
}  // namespace jar32::test
