// Damaged, truncated and foreign files end in clear errors; a lost directory is rebuilt by
// scanning; rh recovers what is intact.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "Methods.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

class Damage : public ::testing::Test {
 protected:
  void SetUp() override {
    setBlockLimitForTesting(16 * 1024);  // several blocks from small files
    std::vector<SourceFile> files;
    for (int i = 0; i < 6; ++i) {
      std::string name = "file" + std::to_string(i);
      writeFile(dir / name, sampleText(9000, i));
      files.push_back(source(dir / name, name));
    }
    files.push_back(folderSource("folder"));
    WriteSettings s;
    s.archiveComment = "comment";
    add(dir / "a.j", files, s);
    original = readBytes(dir / "a.j");
  }
  void TearDown() override { setBlockLimitForTesting(0); }
  TempDir dir;
  std::vector<uint8_t> original;
};

TEST_F(Damage, ForeignAndEmptyFilesAreNotArchives) {
  writeFile(dir / "empty.j", "");
  writeFile(dir / "text.j", "just some text that is long enough to have twenty bytes");
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "empty.j", ""); }), kNotJar);
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "text.j", ""); }), kNotJar);
  EXPECT_EQ(codeOf([&] { Archive::open(dir / "missing.j", ""); }), kOpenError);
  EXPECT_EQ(codeOf([&] { Archive::open(dir.path(), ""); }), kOpenError);
}

TEST_F(Damage, EveryTruncationEndsInAClearError) {
  for (size_t len = 0; len < original.size(); len += 97) {
    writeBytes(dir / "t.j", {original.begin(), original.begin() + long(len)});
    int code = codeOf([&] {
      auto a = Archive::open(dir / "t.j", "");
      a->test(nullptr);
    });
    EXPECT_TRUE(code == kNotJar || code == kCrcError) << "length " << len << ": " << code;
  }
}

TEST_F(Damage, LostDirectoryIsRebuiltByScanning) {
  auto bytes = original;
  bytes[bytes.size() - 100] ^= 0xFF;  // inside the directory block
  writeBytes(dir / "d.j", bytes);
  auto a = Archive::open(dir / "d.j", "");
  EXPECT_TRUE(a->info().directoryRebuilt);
  EXPECT_EQ(a->members().size(), 7u);
  EXPECT_EQ(a->info().comment, "comment");  // from the information block
  EXPECT_EQ(readAll(*a)["file3"], sampleText(9000, 3));
  EXPECT_EQ(codeOf([&] { a->test(nullptr); }), kCrcError);
  // Changing such an archive is refused until it is recovered.
  EXPECT_EQ(codeOf([&] { add(dir / "d.j", {source(dir / "file0", "new")}); }), kCrcError);

  EXPECT_EQ(recoverHeader(dir / "d.j", dir / "$recover.j", "", nullptr), 7u);
  auto r = Archive::open(dir / "$recover.j", "");
  EXPECT_FALSE(r->info().directoryRebuilt);
  EXPECT_NO_THROW(r->test(nullptr));
  EXPECT_EQ(readAll(*r)["file5"], sampleText(9000, 5));
}

TEST_F(Damage, BrokenBlockSkipsItsMembersAndRecoveryDropsThem) {
  auto bytes = original;
  bytes[2000] ^= 0x55;  // inside the first data block
  writeBytes(dir / "b.j", bytes);
  auto a = Archive::open(dir / "b.j", "");
  struct Statuses : MemberVisitor {
    std::map<std::string, MemberStatus> seen;
    bool begin(size_t, const MemberInfo&) override { return true; }
    void data(const uint8_t*, size_t) override {}
    void end(size_t, const MemberInfo& m, MemberStatus s) override { seen[m.name] = s; }
  } statuses;
  std::vector<size_t> all(a->members().size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  a->read(all, statuses, true);
  size_t damaged = 0;
  for (auto& [name, s] : statuses.seen) damaged += s == MemberStatus::Damaged;
  EXPECT_GE(damaged, 1u);
  EXPECT_LT(damaged, 6u);
  EXPECT_EQ(codeOf([&] { a->read(all, statuses, false); }), kCrcError);

  RecordingProgress p;
  size_t recovered = recoverHeader(dir / "b.j", dir / "$recover.j", "", &p);
  EXPECT_EQ(recovered + damaged, 7u);
  EXPECT_EQ(p.warnings.size(), damaged);
  auto r = Archive::open(dir / "$recover.j", "");
  EXPECT_NO_THROW(r->test(nullptr));
}

// Testing streams each block on its own (or, when a member's data spans blocks, reads as
// extraction does): either way it tells every member, in the order of reading, as reading
// finds it.
TEST_F(Damage, TestingTellsEachMemberAsReadingFindsIt) {
  struct Told : Progress {
    std::vector<std::pair<std::string, bool>> results;
    void tested(const MemberInfo& m, bool ok) override { results.push_back({m.name, ok}); }
  };
  struct Read : MemberVisitor {
    std::vector<std::pair<std::string, bool>> results;
    bool begin(size_t, const MemberInfo&) override { return true; }
    void data(const uint8_t*, size_t) override {}
    void end(size_t, const MemberInfo& m, MemberStatus s) override {
      results.push_back({m.name, s == MemberStatus::Ok});
    }
  };
  // A second archive whose big file spans three blocks.
  writeFile(dir / "big", sampleText(40000, 9));
  add(dir / "spans.j", {source(dir / "file0", "file0"), source(dir / "big", "big")});
  for (const std::string archive : {"a.j", "spans.j"}) {
    SCOPED_TRACE(archive);
    auto bytes = readBytes(dir / archive);
    bytes[2000] ^= 0x55;  // inside the first data block
    writeBytes(dir / "b.j", bytes);
    auto a = Archive::open(dir / "b.j", "");
    Told told;
    EXPECT_EQ(codeOf([&] { a->test(&told); }), kCrcError);
    Read read;
    std::vector<size_t> all(a->members().size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    a->read(all, read, true);
    EXPECT_EQ(told.results, read.results);
    EXPECT_TRUE(std::count_if(read.results.begin(), read.results.end(),
                              [](const auto& r) { return !r.second; }) >= 1);
    EXPECT_NO_THROW(Archive::open(dir / archive, "")->test(nullptr));
  }
}

TEST_F(Damage, RandomDamageNeverCrashes) {
  std::mt19937 rng(11);
  for (int round = 0; round < 100; ++round) {
    auto bytes = original;
    int flips = 1 + int(rng() % 8);
    for (int k = 0; k < flips; ++k) bytes[rng() % bytes.size()] = uint8_t(rng());
    writeBytes(dir / "r.j", bytes);
    int code = codeOf([&] {
      auto a = Archive::open(dir / "r.j", "");
      a->test(nullptr);
    });
    EXPECT_TRUE(code == kOk || code == kCrcError || code == kNotJar) << "round " << round;
    codeOf([&] { recoverHeader(dir / "r.j", dir / "$recover.j", "", nullptr); });
  }
}

}  // namespace
}  // namespace jar32::test
