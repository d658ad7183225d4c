// Best (-m4): encoder memory within the budget, and text and machine code read back from its
// blocks.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Codec.h"
#include "Methods.h"
#include "Reader.h"
#include "TwoThreadXz.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

constexpr uint64_t MiB = 1ull << 20;

TEST(BestMethod, TheEncoderOfTheLargestBlockFitsTheMemoryBudgetAndSmallBlocksTakeLittle) {
  for (ContentClass cls : {ContentClass::General, ContentClass::Executable,
                            ContentClass::Compressed, ContentClass::Tables,
                            ContentClass::Database}) {
    const uint64_t full = encoderMemory(codecFor(4, cls), 64 * MiB);
    EXPECT_GT(full, 64 * MiB);  // the dictionary spans the whole block
    EXPECT_LE(full + 2 * 64 * MiB, 1024 * MiB);
    EXPECT_GT(2 * (full + 2 * 64 * MiB), 1024 * MiB);  // so two are never built at once
    EXPECT_LT(encoderMemory(codecFor(4, cls), 100000), 16 * MiB);
  }
  EXPECT_EQ(encoderMemory(codecFor(1, ContentClass::General), 64 * MiB), 64 * MiB);
  // Only Best packs tables and databases otherwise than text.
  for (ContentClass cls : {ContentClass::Tables, ContentClass::Database}) {
    EXPECT_NE(codecFor(4, cls), codecFor(4, ContentClass::General));
    for (int method : {1, 2, 3})
      EXPECT_EQ(codecFor(method, cls), codecFor(method, ContentClass::General));
  }
}

// The blocks built at once are chosen by what their encoders take: the two-thread encoder's
// estimate is what it asks its allocator for, to its match buffers, and never less.
TEST(BestMethod, TheTwoThreadEncoderTakesWhatItsEstimateSays) {
  for (uint64_t size : {uint64_t(3000), uint64_t(100001), 5 * MiB - 3, 33 * MiB + 5}) {
    for (ContentClass cls : {ContentClass::General, ContentClass::Database}) {
      SCOPED_TRACE(std::to_string(size) + " bytes");
      const CodecChoice c = codecFor(4, cls);
      const lzma_options_lzma opt = xzOptions(c, size);
      ASSERT_TRUE(twoThreadEncoderTakes(opt));
      const Bytes zeros(size, 0);  // what the encoder takes does not depend on the bytes
      const uint64_t before = twoThreadBytesAllocatedForTesting();
      LargeBytes out;
      encodeTwoThreadXz(opt, zeros.data(), zeros.size(), out);
      const uint64_t asked = twoThreadBytesAllocatedForTesting() - before;
      const uint64_t estimate = twoThreadEncoderMemory(opt, size);
      EXPECT_LE(asked, estimate);
      EXPECT_GE(asked + kTwoThreadBuffers, estimate);  // the tables to the byte, or near
      EXPECT_EQ(encoderMemory(c, size), estimate);
    }
  }
}

TEST(BestMethod, DatabasesAreKnownByTheirMagicAndTakeABlockOfTheirOwn) {
  const std::string magic("SQLite format 3\0", 16);
  auto u8 = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
  EXPECT_EQ(classify("data", u8(magic), 16), ContentClass::Database);
  EXPECT_EQ(classify("photos.jpg", u8(magic), 16), ContentClass::Database);
  EXPECT_EQ(classify("cut.db", u8(magic), 15), ContentClass::General);  // too short to tell
  EXPECT_EQ(classify("other.db", u8(std::string("SQLite format 2\0", 16)), 16),
            ContentClass::General);

  TempDir dir;
  std::string db = magic;
  for (int page = 0; db.size() < 200000; ++page)
    db += std::string(4000, char(page)) + "row " + std::to_string(page) + std::string(92, '\0');
  const std::string text = sampleText(100000, 8);
  writeFile(dir / "inventory", db);
  writeFile(dir / "notes.txt", text);
  writeFile(dir / "fake.sqlite", text);  // the name alone does not make a database
  WriteSettings best;
  best.method = 4;
  add(dir / "a.j", {source(dir / "inventory", "inventory"), source(dir / "notes.txt", "notes.txt"),
                    source(dir / "fake.sqlite", "fake.sqlite")}, best);
  auto r = ArchiveReader::open(dir / "a.j", "");
  ASSERT_EQ(r->directory().blocks.size(), 2u);
  std::map<std::string, uint32_t> blockOf;
  for (size_t i = 0; i < r->members().size(); ++i)
    blockOf[r->members()[i].name] = r->directory().entries[i].block;
  EXPECT_EQ(blockOf["notes.txt"], blockOf["fake.sqlite"]);
  EXPECT_NE(blockOf["inventory"], blockOf["notes.txt"]);
  auto a = Archive::open(dir / "a.j", "");
  auto data = readAll(*a);
  EXPECT_EQ(data["inventory"], db);
  EXPECT_EQ(data["fake.sqlite"], text);
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST(BestMethod, TextMachineCodeAndTablesInSeparateBlocksReadBackAndTest) {
  TempDir dir;
  std::string code = std::string("\x7f" "ELF", 4);
  for (int i = 0; i < 20000; ++i) code += std::string("\xE8") + char(i) + char(i >> 8) + "\0\0\x90";
  writeFile(dir / "tool", code);
  writeFile(dir / "notes.txt", sampleText(300000, 3));
  writeFile(dir / "photo.jpg", randomBytes(50000, 4));
  // A message catalogue (known by its magic, whatever its name) and a font: tables.
  std::string catalogue = "\xDE\x12\x04\x95";
  for (int i = 0; i < 4000; ++i)
    catalogue += std::string("\x10\0\0", 3) + char(i) + "msg" + char(i % 7);
  writeFile(dir / "messages", catalogue);
  writeFile(dir / "face.ttf", std::string("\0\x01\0\0", 4) + sampleText(20000, 7));
  WriteSettings best;
  best.method = 4;
  add(dir / "a.j", {source(dir / "tool", "tool"), source(dir / "notes.txt", "notes.txt"),
                    source(dir / "photo.jpg", "photo.jpg"), source(dir / "messages", "messages"),
                    source(dir / "face.ttf", "face.ttf")}, best);
  auto r = ArchiveReader::open(dir / "a.j", "");
  // By class: text, machine code, the photo, the catalogue with the font.
  ASSERT_EQ(r->directory().blocks.size(), 4u);
  EXPECT_EQ(r->directory().entries[3].block, r->directory().entries[4].block);
  EXPECT_NE(r->directory().entries[3].block, r->directory().entries[1].block);
  auto a = Archive::open(dir / "a.j", "");
  auto data = readAll(*a);
  EXPECT_EQ(data["tool"], code);
  EXPECT_EQ(data["notes.txt"], sampleText(300000, 3));
  EXPECT_EQ(data["photo.jpg"], randomBytes(50000, 4));
  EXPECT_EQ(data["messages"], catalogue);
  EXPECT_EQ(data["face.ttf"], std::string("\0\x01\0\0", 4) + sampleText(20000, 7));
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST(BestMethod, AlreadyCompressedFilesTakeABlockOfTheirOwnBesideTextAndReadBack) {
  TempDir dir;
  // Text sorts before already-compressed files, and the change of class starts a new block.
  const std::string text = sampleText(200000, 5);
  std::string packed = randomBytes(40000, 6);
  packed += packed;  // what repeats in compressed files repeats at length
  writeFile(dir / "a.txt", text);
  writeFile(dir / "b.pdf", packed);
  WriteSettings best;
  best.method = 4;
  add(dir / "a.j", {source(dir / "a.txt", "a.txt"), source(dir / "b.pdf", "b.pdf")}, best);
  auto r = ArchiveReader::open(dir / "a.j", "");
  ASSERT_EQ(r->directory().blocks.size(), 2u);
  EXPECT_LT(r->directory().blocks[1].dataStored, 50000u);  // the repeat was found
  auto a = Archive::open(dir / "a.j", "");
  auto data = readAll(*a);
  EXPECT_EQ(data["a.txt"], text);
  EXPECT_EQ(data["b.pdf"], packed);
  EXPECT_NO_THROW(a->test(nullptr));
}

// Trees (the first folders below the shared one) of text at 256 KiB blocks: "a" and "b" of
// 150 KB each, so both do not fit in one block, and two programs of 75 KB in each.
class BestMethodTrees : public testing::Test {
 protected:
  void SetUp() override {
    setBlockLimitForTesting(256 * 1024);
    for (const char* tree : {"a", "b"}) {
      for (int i = 0; i < 3; ++i) {
        const std::string name = std::string(tree) + "_" + std::to_string(i) + ".txt";
        files_.push_back({std::string("top\\") + tree + "\\" + name,
                          sampleText(50000, unsigned(tree[0] * 10 + i))});
      }
      for (int t = 0; t < 2; ++t) {
        std::string code = std::string("\x7f" "ELF", 4);
        for (int i = 0; code.size() < 75000; ++i)
          code += std::string("\xE8") + char(i) + char(tree[0] * 2 + t) + "\0\0\x90";
        files_.push_back({std::string("top\\") + tree + "\\tool" + char('0' + t), code});
      }
    }
    files_.push_back({"top\\readme.txt", sampleText(1000, 99)});
    for (size_t i = 0; i < files_.size(); ++i) {
      const std::string path = dir_ / ("f" + std::to_string(i));
      writeFile(path, files_[i].second);
      sources_.push_back(source(path, files_[i].first));
    }
  }
  void TearDown() override { setBlockLimitForTesting(0); }

  /// The blocks that hold the members whose names contain `part`.
  std::set<uint32_t> blocksOf(const ArchiveReader& r, const std::string& part) {
    std::set<uint32_t> out;
    for (size_t i = 0; i < r.members().size(); ++i)
      if (r.members()[i].name.find(part) != std::string::npos && r.members()[i].size)
        out.insert(r.directory().entries[i].block);
    return out;
  }

  TempDir dir_;
  std::vector<std::pair<std::string, std::string>> files_;
  std::vector<SourceFile> sources_;
};

TEST_F(BestMethodTrees, ATreeThatFitsABlockOfItsOwnStartsOneAndMachineCodeKeepsFilling) {
  for (int method : {4, 2}) {
    SCOPED_TRACE(testing::Message() << "-m" << method);
    const std::string archive = dir_ / ("m" + std::to_string(method) + ".j");
    WriteSettings s;
    s.method = method;
    add(archive, sources_, s);
    auto r = ArchiveReader::open(archive, "");
    const auto a = blocksOf(*r, "\\a_"), b = blocksOf(*r, "\\b_");
    if (method == 4) {
      // Each tree of text in a block of its own (the file beside the trees goes with the
      // first); both programs share one block.
      ASSERT_EQ(a.size(), 1u);
      ASSERT_EQ(b.size(), 1u);
      EXPECT_NE(*a.begin(), *b.begin());
      EXPECT_EQ(blocksOf(*r, "readme"), a);
      const auto codeA = blocksOf(*r, "a\\tool"), codeB = blocksOf(*r, "b\\tool");
      ASSERT_EQ(codeA.size(), 1u);
      EXPECT_TRUE(codeB.count(*codeA.begin()));
    } else {
      EXPECT_EQ(b.size(), 2u);  // by extension: the second tree fills the first block
    }
    auto all = readAll(*Archive::open(archive, ""));
    for (const auto& [name, data] : files_) EXPECT_EQ(all[name], data) << name;
  }
}

}  // namespace
}  // namespace jar32::test
