// Every method stores and returns exactly what was given: contents, metadata, kinds, sizes.
#include <gtest/gtest.h>

#include "Methods.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

class MethodRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(MethodRoundTrip, ContentsAndMetadataSurvive) {
  TempDir dir;
  writeFile(dir / "text.txt", sampleText(300000, 1));
  writeFile(dir / "random.bin", randomBytes(100000, 2));
  writeFile(dir / "empty", "");
  writeFile(dir / "elf", std::string("\x7f" "ELF", 4) + sampleText(5000, 3));
  std::vector<SourceFile> files = {source(dir / "text.txt", "docs\\text.txt", 1600000000),
                                   source(dir / "random.bin", "random.bin"),
                                   source(dir / "empty", "empty"), source(dir / "elf", "bin\\tool"),
                                   folderSource("docs"), folderSource("empty folder")};
  SourceFile link;
  link.meta.name = "docs\\link";
  link.meta.kind = MemberKind::Symlink;
  link.meta.linkTarget = "../text.txt";
  files.push_back(link);
  files[0].meta.mode = 0600;
  files[0].meta.attributes = kAttrArchive | kAttrReadOnly;

  WriteSettings s;
  s.method = GetParam();
  AddReport r = add(dir / "a.j", files, s);
  EXPECT_EQ(r.added, files.size());
  EXPECT_TRUE(r.archiveWritten);

  auto a = Archive::open(dir / "a.j", "");
  ASSERT_EQ(a->members().size(), files.size());
  auto data = readAll(*a);
  EXPECT_EQ(data["docs\\text.txt"], sampleText(300000, 1));
  EXPECT_EQ(data["random.bin"], randomBytes(100000, 2));
  EXPECT_EQ(data["empty"], "");
  EXPECT_EQ(data["bin\\tool"].size(), 5004u);
  for (const auto& m : a->members()) {
    if (m.name == "docs\\text.txt") {
      EXPECT_EQ(m.mtime, 1600000000);
      EXPECT_EQ(m.mode, 0600u);
      EXPECT_EQ(m.attributes, kAttrArchive | kAttrReadOnly);
      EXPECT_EQ(m.size, 300000u);
      EXPECT_LT(m.packedSize, m.size);
      EXPECT_EQ(m.chapters, (ChapterRange{1, 1}));
    }
    if (m.name == "docs\\link") {
      EXPECT_EQ(m.kind, MemberKind::Symlink);
      EXPECT_EQ(m.linkTarget, "../text.txt");
    }
    if (m.name == "docs") {
      EXPECT_EQ(m.kind, MemberKind::Folder);
    }
  }
  EXPECT_EQ(a->info().chapterCount, 1u);
  EXPECT_EQ(a->info().flags, 0u);
  EXPECT_NO_THROW(a->test(nullptr));
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodRoundTrip, ::testing::Values(1, 2, 3, 4));

TEST(RoundTrip, SignatureBytesAndEmptyArchive) {
  TempDir dir;
  writeFile(dir / "f", "x");
  add(dir / "a.j", {source(dir / "f", "f")});
  auto bytes = readBytes(dir / "a.j");
  ASSERT_GT(bytes.size(), 20u);
  const uint8_t sig[6] = {0x1A, 'J', 'a', 'r', 0x1B, 0x00};
  EXPECT_TRUE(std::equal(sig, sig + 6, bytes.begin() + 14));

  deleteMembers(dir / "a.j", [](const MemberInfo&) { return true; }, false, {}, nullptr);
  auto a = Archive::open(dir / "a.j", "");
  EXPECT_TRUE(a->members().empty());
  EXPECT_NO_THROW(a->test(nullptr));
}

TEST(RoundTrip, FilesLargerThanABlockAreSplitAndReadBack) {
  setBlockLimitForTesting(64 * 1024);
  TempDir dir;
  writeFile(dir / "big", sampleText(300000, 7));
  writeFile(dir / "small", "small file");
  writeFile(dir / "big2", randomBytes(150000, 8));
  add(dir / "a.j", {source(dir / "small", "small"), source(dir / "big", "big"),
                    source(dir / "big2", "big2")});
  {
    auto a = Archive::open(dir / "a.j", "");
    auto data = readAll(*a);
    EXPECT_EQ(data["big"], sampleText(300000, 7));
    EXPECT_EQ(data["big2"], randomBytes(150000, 8));
    EXPECT_EQ(data["small"], "small file");
    EXPECT_NO_THROW(a->test(nullptr));
  }
  // Deleting the small file re-compresses only the blocks it shared.
  deleteMembers(dir / "a.j", [](const MemberInfo& m) { return m.name == "small"; }, false, {},
                nullptr);
  auto a = Archive::open(dir / "a.j", "");
  auto data = readAll(*a);
  EXPECT_EQ(data.size(), 2u);
  EXPECT_EQ(data["big"], sampleText(300000, 7));
  EXPECT_EQ(data["big2"], randomBytes(150000, 8));
  setBlockLimitForTesting(0);
}

TEST(RoundTrip, ReadDeliversChosenMembersOnlyAndSkipsOnRequest) {
  TempDir dir;
  for (int i = 0; i < 5; ++i) writeFile(dir / ("f" + std::to_string(i)), sampleText(1000 + i, i));
  std::vector<SourceFile> files;
  for (int i = 0; i < 5; ++i)
    files.push_back(source(dir / ("f" + std::to_string(i)), "f" + std::to_string(i)));
  add(dir / "a.j", files);
  auto a = Archive::open(dir / "a.j", "");
  struct Pick : MemberVisitor {
    std::vector<std::string> seen;
    bool begin(size_t, const MemberInfo& m) override { return m.name != "f3"; }
    void data(const uint8_t*, size_t) override {}
    void end(size_t, const MemberInfo& m, MemberStatus) override { seen.push_back(m.name); }
  } pick;
  std::vector<size_t> which;
  for (size_t i = 0; i < a->members().size(); ++i)
    if (a->members()[i].name != "f0") which.push_back(i);
  which.push_back(which.front());  // duplicates are ignored
  a->read(which, pick, false);
  std::sort(pick.seen.begin(), pick.seen.end());
  EXPECT_EQ(pick.seen, (std::vector<std::string>{"f1", "f2", "f4"}));
}

TEST(RoundTrip, UnreadableSourceIsSkippedWithWarning) {
  TempDir dir;
  writeFile(dir / "ok", "fine");
  RecordingProgress p;
  AddReport r = addFiles(dir / "a.j", {source(dir / "ok", "ok"), source(dir / "missing", "missing")},
                         AddMode::Add, false, false, ChapterCompare::SizeAndTime, {}, &p);
  EXPECT_EQ(r.added, 1u);
  EXPECT_EQ(r.skipped, 1u);
  ASSERT_EQ(p.warnings.size(), 1u);
  EXPECT_NE(p.warnings[0].find("missing"), std::string::npos);
}

TEST(RoundTrip, CopyWithNewMethodKeepsEverything) {
  TempDir dir;
  writeFile(dir / "t", sampleText(200000, 5));
  add(dir / "a.j", {source(dir / "t", "t")});
  WriteSettings s;
  s.method = 4;
  copyArchive(dir / "a.j", dir / "b.j", s, nullptr);
  auto b = Archive::open(dir / "b.j", "");
  EXPECT_EQ(readAll(*b)["t"], sampleText(200000, 5));
  EXPECT_NO_THROW(b->test(nullptr));
}

}  // namespace
}  // namespace jar32::test
