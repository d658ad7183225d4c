// Opening only some chapters: the versions kept are exactly those of the range, the counts
// still cover the whole archive, and the data read back is the same as from a full open.
#include <gtest/gtest.h>

#include <map>

#include "Directory.h"
#include "TestSupport.h"

namespace jar32::test {
namespace {

using Names = std::vector<std::string>;

constexpr uint32_t kChapters = 40;

class ChapterSelection : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new TempDir();
    // Chapter by chapter: "keep" never changes, "note" changes every time, "gone" is left
    // out after chapter 10, "big" changes at every 13th chapter; a link and a folder stay.
    for (uint32_t c = 1; c <= kChapters; ++c) {
      std::vector<SourceFile> files;
      writeFile(*dir / "keep", "kept");
      files.push_back(source(*dir / "keep", "keep", 1000));
      writeFile(*dir / "note", "version " + std::to_string(c));
      files.push_back(source(*dir / "note", "docs\\note", 2000 + c));
      if (c <= 10) {
        writeFile(*dir / "gone", "gone");
        files.push_back(source(*dir / "gone", "gone", 3000));
      }
      writeFile(*dir / "big", randomBytes(150000, c / 13));
      files.push_back(source(*dir / "big", "big.bin", 4000 + c / 13));
      SourceFile link;
      link.meta.name = "docs\\link";
      link.meta.kind = MemberKind::Symlink;
      link.meta.linkTarget = "note";
      link.meta.mtime = 5000;
      files.push_back(link);
      files.push_back(folderSource("docs"));
      if (c == 1) add(path(), files);
      else addChapter(path(), files);
    }
  }
  static void TearDownTestSuite() {
    delete dir;
    dir = nullptr;
  }
  static std::string path() { return *dir / "many.j"; }
  static TempDir* dir;
};
TempDir* ChapterSelection::dir = nullptr;

bool overlap(ChapterRange c, ChapterRange wanted) { return chaptersWithin(c, wanted); }

TEST_F(ChapterSelection, EveryRangeKeepsExactlyItsVersionsAndCountsTheWholeArchive) {
  auto full = Archive::open(path(), "");
  ASSERT_EQ(full->info().chapterCount, kChapters);
  const auto& all = full->members();
  uint64_t bytes = 0;
  for (const auto& m : all) bytes += m.size;
  EXPECT_EQ(full->info().versionCount, all.size());
  EXPECT_EQ(full->info().unpackedBytes, bytes);
  const auto allData = readAll(*full, true);

  const ChapterRange ranges[] = {{0, 0},   {1, 1},   {5, 7},   {10, 10}, {11, 0},  {0, 3},
                                 {13, 14}, {20, 25}, {39, 40}, {40, 40}, {41, 0},  {27, 26}};
  for (const ChapterRange r : ranges) {
    SCOPED_TRACE(std::to_string(r.first) + "-" + std::to_string(r.last));
    OpenOptions o;
    o.chapters = r;
    auto kept = Archive::open(path(), "", o);
    Names want;
    for (const auto& m : all)
      if (overlap(m.chapters, r))
        want.push_back(m.name + " <" + std::to_string(m.chapters.first) + "-" +
                       std::to_string(m.chapters.last) + ">");
    std::sort(want.begin(), want.end());
    EXPECT_EQ(listing(*kept), want);
    EXPECT_EQ(kept->info().versionCount, all.size());
    EXPECT_EQ(kept->info().unpackedBytes, bytes);
    for (const auto& m : kept->members()) {
      EXPECT_FALSE(m.name.empty());
      if (m.kind == MemberKind::Symlink) {
        EXPECT_EQ(m.linkTarget, "note");
      }
    }
    for (const auto& [key, content] : readAll(*kept, true)) EXPECT_EQ(content, allData.at(key)) << key;
  }
}

TEST_F(ChapterSelection, TheLastChapterAloneIsWhatExtractionTakesByDefault) {
  OpenOptions o;
  o.lastChapterOnly = true;
  o.chapters = {1, 2};  // ignored
  auto last = Archive::open(path(), "", o);
  EXPECT_EQ(listing(*last), (Names{"big.bin <39-40>", "docs <1-40>", "docs\\link <1-40>",
                                   "docs\\note <40-40>", "keep <1-40>"}));
  auto data = readAll(*last, true);
  EXPECT_EQ(data["docs\\note <40-40>"], "version 40");
  EXPECT_TRUE(data["big.bin <39-40>"] == randomBytes(150000, 3));
  // A full test still reads every version.
  auto full = Archive::open(path(), "");
  EXPECT_NO_THROW(full->test(nullptr));
}

// Brief records (outside the chapters wanted) keep what placing and counting needs and are
// checked as strictly for their structure.
TEST(BriefRecords, KeepPlacesSizesAndChaptersAndStillFindDamage) {
  MemberInfo a;
  a.name = "docs\\a";
  a.size = 10;
  a.hasOwner = true;
  a.owner = "someone";
  a.chapters = {1, 2};
  MemberInfo b = a;
  b.name = "b";
  b.kind = MemberKind::Symlink;
  b.size = 0;
  b.linkTarget = "docs\\a";
  b.chapters = {3, 3};
  MemberInfo c = a;
  c.name = "c";
  c.hardLinkTarget = "docs\\a";
  c.xattrs = {{"user.x", "1"}};
  c.chapters = {2, 5};
  BlockMetaWriter w(3);
  w.add(1, kPieceFirst | kPieceLast, 0, 10, 0, a, 11);
  w.add(2, kPieceFirst | kPieceLast, 0, 0, 10, b, 0);
  w.add(3, kPieceFirst | kPieceLast, 0, 10, 10, c, 12);
  const Bytes good = w.finish();
  std::vector<PieceRecord> got;
  forEachBlockRecord(good, 20, [&](uint64_t, PieceRecord& p) { got.push_back(p); }, {3, 0});
  ASSERT_EQ(got.size(), 3u);
  EXPECT_TRUE(got[0].brief);
  EXPECT_TRUE(got[0].info.name.empty());
  EXPECT_EQ(got[0].info.size, 10u);
  EXPECT_EQ(got[0].info.chapters, (ChapterRange{1, 2}));
  EXPECT_EQ(got[0].checksum, 11u);
  EXPECT_FALSE(got[1].brief);
  EXPECT_EQ(got[1].info.linkTarget, "docs\\a");
  EXPECT_FALSE(got[2].brief);
  EXPECT_EQ(got[2].info.hardLinkTarget, "docs\\a");
  EXPECT_EQ(got[2].info.xattrs, c.xattrs);
  // Every cut is damage, whichever records are brief.
  for (const ChapterRange wanted : {ChapterRange{0, 0}, ChapterRange{9, 0}}) {
    for (size_t n = 0; n < good.size(); ++n) {
      Bytes cut(good.begin(), good.begin() + long(n));
      EXPECT_THROW(forEachBlockRecord(cut, 20, [](uint64_t, PieceRecord&) {}, wanted), JarError)
          << n;
    }
  }
}

}  // namespace
}  // namespace jar32::test
