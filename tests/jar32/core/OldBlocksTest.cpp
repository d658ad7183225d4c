// What a change does with the old archive's blocks: copied while mostly used, compressed again
// when not, small ones merged.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "OldBlocks.h"
#include "Reader.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

struct BlockView {
  uint64_t dataRaw, dataStored;
  std::string nonce;  // a block compressed again always gets a new one
};

std::vector<BlockView> blocksOf(const std::string& path, const std::string& password = "") {
  auto r = ArchiveReader::open(path, password);
  std::vector<BlockView> out;
  for (uint32_t b = 0; b < r->directory().blocks.size(); ++b) {
    const BlockHeader h = r->blockHeader(b);
    out.push_back({h.dataRaw, h.dataStored,
                   std::string(reinterpret_cast<const char*>(h.dataNonce), kNonceBytes)});
  }
  return out;
}

void removeNamed(const std::string& archive, const std::set<std::string>& names,
                 const WriteSettings& s = {}) {
  deleteMembers(archive, [&](const MemberInfo& m) { return names.count(m.name) > 0; }, false, s,
                nullptr);
}

class OldBlocks : public ::testing::Test {
 protected:
  // 20 files of 5,000 bytes in one block.
  void SetUp() override {
    for (int i = 0; i < 20; ++i) {
      const std::string name = "f" + std::to_string(i) + ".txt";
      writeFile(dir / name, sampleText(5000, unsigned(i)));
      files.push_back(source(dir / name, name));
    }
  }
  void expectOthersIntact(const std::string& archive, const std::set<std::string>& gone,
                          const std::string& password = "") {
    auto a = Archive::open(archive, password);
    auto data = readAll(*a);
    EXPECT_EQ(data.size(), 20 - gone.size());
    for (int i = 0; i < 20; ++i) {
      const std::string name = "f" + std::to_string(i) + ".txt";
      if (gone.count(name)) EXPECT_EQ(data.count(name), 0u) << name;
      else EXPECT_EQ(data[name], sampleText(5000, unsigned(i))) << name;
    }
    EXPECT_NO_THROW(a->test(nullptr));
  }
  TempDir dir;
  std::vector<SourceFile> files;
};

TEST_F(OldBlocks, ABlockStillMostlyUsedIsCopiedAsItIsAndRepackedBelowThreeQuarters) {
  add(dir / "a.j", files);
  const auto before = blocksOf(dir / "a.j");
  ASSERT_EQ(before.size(), 1u);
  // 5 of 20 deleted: 3/4 still used, the stored bytes stay as they were.
  std::set<std::string> gone;
  for (int i = 0; i < 5; ++i) {
    gone.insert("f" + std::to_string(i * 3) + ".txt");
    removeNamed(dir / "a.j", {"f" + std::to_string(i * 3) + ".txt"});
    const auto now = blocksOf(dir / "a.j");
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].nonce, before[0].nonce) << "after " << gone.size();
    EXPECT_EQ(now[0].dataRaw, before[0].dataRaw);
    EXPECT_EQ(now[0].dataStored, before[0].dataStored);
    expectOthersIntact(dir / "a.j", gone);
  }
  // One more: less than 3/4 used, so the block is compressed again without the unused bytes.
  gone.insert("f16.txt");
  removeNamed(dir / "a.j", {"f16.txt"});
  const auto after = blocksOf(dir / "a.j");
  ASSERT_EQ(after.size(), 1u);
  EXPECT_NE(after[0].nonce, before[0].nonce);
  EXPECT_EQ(after[0].dataRaw, 14u * 5000u);
  expectOthersIntact(dir / "a.j", gone);
}

TEST_F(OldBlocks, CopiedBlocksWithUnusedBytesStayCorrectForLaterChangesRecoveryAndProtection) {
  WriteSettings protect;
  protect.password = "pw";
  add(dir / "a.j", files, protect);
  const auto before = blocksOf(dir / "a.j", "pw");
  removeNamed(dir / "a.j", {"f3.txt"}, protect);
  EXPECT_EQ(blocksOf(dir / "a.j", "pw")[0].nonce, before[0].nonce);  // sealed chunks copied
  expectOthersIntact(dir / "a.j", {"f3.txt"}, "pw");
  // A new version of a file in that block, a copy in place, and a rebuild by scanning.
  writeFile(dir / "f5.txt", "changed");
  add(dir / "a.j", {source(dir / "f5.txt", "f5.txt", 1700000100)}, protect);
  copyArchive(dir / "a.j", "", protect, nullptr);
  const size_t found = recoverHeader(dir / "a.j", dir / "r.j", "pw", nullptr);
  EXPECT_EQ(found, 19u);
  for (const std::string& path : {dir / "a.j", dir / "r.j"}) {
    auto a = Archive::open(path, "pw");
    auto data = readAll(*a);
    EXPECT_EQ(data.size(), 19u) << path;
    EXPECT_EQ(data["f5.txt"], "changed");
    EXPECT_EQ(data["f4.txt"], sampleText(5000, 4));
    EXPECT_NO_THROW(a->test(nullptr));
  }
}

TEST(SmallBlocks, AThousandUpdatesOfOneSmallFileKeepTheBlockCountBounded) {
  TempDir dir;
  writeFile(dir / "big.txt", sampleText(3 << 20, 1));  // above the small-block size
  writeFile(dir / "note.txt", "version 0");
  WriteSettings fast;
  fast.method = 1;
  fast.threads = 2;
  add(dir / "a.j", {source(dir / "big.txt", "big.txt"), source(dir / "note.txt", "note.txt")}, fast);
  size_t most = 0;
  for (int i = 1; i <= 1000; ++i) {
    writeFile(dir / "note.txt", "version " + std::to_string(i));
    addFiles(dir / "a.j",
             {source(dir / "big.txt", "big.txt"), source(dir / "note.txt", "note.txt", 1700000000 + i)},
             AddMode::Add, false, true, ChapterCompare::SizeAndTime, fast, nullptr);
    most = std::max(most, blocksOf(dir / "a.j").size());
  }
  // The big block, at most 16 small ones, the new one and the merged ones.
  EXPECT_LE(most, kSmallBlocksMerged + 3);
  auto a = Archive::open(dir / "a.j", "");
  EXPECT_EQ(a->info().chapterCount, 1001u);
  auto data = readAll(*a, true);
  EXPECT_EQ(data.size(), 1002u);
  EXPECT_EQ(data["note.txt <1-1>"], "version 0");
  EXPECT_EQ(data["note.txt <500-500>"], "version 499");
  EXPECT_EQ(data["note.txt <1001-1001>"], "version 1000");
  EXPECT_EQ(data["big.txt <1-1001>"], sampleText(3 << 20, 1));
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST(SmallBlocks, RepeatedAddsOfOneFileLeaveNoBlocksBehind) {
  TempDir dir;
  writeFile(dir / "other.txt", sampleText(20000, 2));
  add(dir / "a.j", {source(dir / "other.txt", "other.txt")});
  for (int i = 0; i < 60; ++i) {
    writeFile(dir / "note.txt", sampleText(100 + size_t(i), unsigned(i)));
    add(dir / "a.j", {source(dir / "note.txt", "note.txt", 1700000000 + i)});
  }
  EXPECT_EQ(blocksOf(dir / "a.j").size(), 2u);
  auto a = Archive::open(dir / "a.j", "");
  auto data = readAll(*a);
  EXPECT_EQ(data["note.txt"], sampleText(159, 59));
  EXPECT_EQ(data["other.txt"], sampleText(20000, 2));
}

TEST(SmallBlocks, MergingKeepsVersionsSplitOverBlocksOutAndFillsBlocksToTheLimit) {
  std::vector<Job> jobs;
  std::vector<uint64_t> raw;
  auto job = [&](uint64_t size, bool whole) {
    Job j;
    j.kind = JobKind::Copy;
    j.oldBlock = uint32_t(raw.size());
    PiecePlan p;
    p.entry = raw.size();
    p.length = size;
    p.first = true;
    p.last = whole;
    j.pieces.push_back(p);
    j.dataRaw = size;
    raw.push_back(size);
    jobs.push_back(j);
  };
  job(5 << 20, false);  // big, continues in the next block
  job(1000, true);      // small, but the end of that version: not merged
  for (int i = 0; i < 17; ++i) job(400 << 10, true);
  auto codec = [](const PiecePlan&) { return CodecChoice{}; };
  std::vector<Job> few(jobs.begin(), jobs.begin() + 18);  // 16 small blocks: left alone
  few[1].pieces[0].last = true;
  few[1].pieces[0].first = false;
  mergeSmallBlocks(few, raw, 64 << 20, codec);
  EXPECT_EQ(few.size(), 18u);
  jobs[1].pieces[0].first = false;
  jobs[1].pieces[0].last = true;
  mergeSmallBlocks(jobs, raw, 2 << 20, codec);
  ASSERT_EQ(jobs.size(), 2u + 4u);  // 17 x 400 KiB in blocks of at most 2 MiB: 5, 5, 5, 2
  EXPECT_EQ(jobs[0].oldBlock, 0u);
  EXPECT_EQ(jobs[1].oldBlock, 1u);
  size_t pieces = 0;
  for (size_t k = 2; k < jobs.size(); ++k) {
    EXPECT_EQ(jobs[k].kind, JobKind::EncodeOld);
    EXPECT_LE(jobs[k].dataRaw, uint64_t(2 << 20));
    for (const PiecePlan& p : jobs[k].pieces) EXPECT_EQ(p.oldBlock, uint32_t(2 + pieces++));
  }
  EXPECT_EQ(pieces, 17u);
}

}  // namespace
}  // namespace jar32::test
