#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "Listing.h"
#include "ListingParser.h"

using namespace jar32;
using namespace jar32::cli;

namespace {

class ListingPrinter : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  static MemberInfo member(const char* name, MemberKind kind, uint64_t size, int64_t mtime,
                           uint32_t first, uint32_t last) {
    MemberInfo m;
    m.name = name;
    m.kind = kind;
    m.size = size;
    m.mtime = mtime;
    m.attributes = kind == MemberKind::Folder ? kAttrDirectory : kAttrArchive;
    m.chapters = {first, last};
    return m;
  }
  static std::string print(const ListingHeader& h, const std::vector<MemberInfo>& members) {
    std::vector<const MemberInfo*> ptrs;
    for (const auto& m : members) ptrs.push_back(&m);
    Output out;
    printListing(h, ptrs, out);
    return out.text();
  }
};

}  // namespace

// The example the front-end is written against, to the character: the listing captured from the
// built program (scripts/capture-listings), which the front-end's parser tests read too.
TEST_F(ListingPrinter, ThreeChaptersFlagsAndComment) {
  ListingHeader h;
  h.archivePath = "/tmp/tamber-listings/backup.j";
  h.chapterCount = 3;
  h.memberCount = 5;
  h.created = 1796724000;
  h.modified = 1796724331;
  h.flags = kFlagLocked;
  h.comment = "Weekly backup of the project folder.\nSecond comment line.";
  h.firstChapter = 1;
  h.lastChapter = 3;
  h.packedBytes = 5516;
  h.unpackedBytes = 31657;
  const std::vector<MemberInfo> members = {
      member("readme.txt", MemberKind::File, 1234, 1796724000, 1, 3),
      member("notes.txt", MemberKind::File, 5678, 1796724299, 3, 3),
      member("docs", MemberKind::Folder, 0, 1796724000, 1, 3),
      member("docs\\guide.txt", MemberKind::File, 12345, 1796634000, 1, 2),
      member("docs\\guide.txt", MemberKind::File, 12400, 1796724060, 3, 3),
  };
  std::ifstream captured(std::string(TAMBER_TEST_DATA_DIR) + "/listings/chapters.txt", std::ios::binary);
  ASSERT_TRUE(captured);
  const std::string expected{std::istreambuf_iterator<char>(captured), {}};
  const std::string text = print(h, members);
  EXPECT_EQ(text, expected);

  const auto p = listing::parse(text);
  EXPECT_EQ(p.flags, "LOCKED");
  EXPECT_EQ(p.comment.size(), 2u);
  EXPECT_EQ(p.chapters, "1-3");
  ASSERT_EQ(p.rows.size(), 5u);
  EXPECT_EQ(p.rows[2].fullName(), "docs\\");
  EXPECT_EQ(p.rows[4].fullName(), "docs\\guide.txt");
  EXPECT_EQ(p.rows[4].chapters, "<3-3>");
  EXPECT_EQ(p.totalBytes, "31,657");
  EXPECT_EQ(p.ratio, "17.4%");
  EXPECT_EQ(p.created, "2026-12-08 10:00:00");
}

TEST_F(ListingPrinter, EmptyArchiveGoesStraightToTheTotals) {
  ListingHeader h;
  h.archivePath = "/t/empty.j";
  const std::string text = print(h, {});
  EXPECT_NE(text.find("Current chapter: 1\nAnalyzing archive...\n\nTotal files listed: 0\n"
                      "Total bytes in files listed: 0\n"
                      "Whole archived data ratio: 0 / 0 = 0.0%\n"),
            std::string::npos);
  EXPECT_NE(text.find("1 chapter, 0 members\n"), std::string::npos);
  const auto p = listing::parse(text);
  EXPECT_TRUE(p.rows.empty());
  EXPECT_TRUE(p.flags.empty());
  EXPECT_TRUE(p.comment.empty());
}

TEST_F(ListingPrinter, SingleChapterHasNoRangesAndNestedGroupsFollowTheRoot) {
  ListingHeader h;
  h.archivePath = "/t/a.j";
  h.chapterCount = 2;
  h.firstChapter = h.lastChapter = 2;
  const std::vector<MemberInfo> members = {
      member("z\\deep\\f.txt", MemberKind::File, 1, 0, 2, 2),
      member("a\\b.txt", MemberKind::File, 2, 0, 1, 2),
      member("top.txt", MemberKind::File, 3, 0, 2, 2),
  };
  const std::string text = print(h, members);
  const auto p = listing::parse(text);
  EXPECT_TRUE(p.singleChapter);
  EXPECT_EQ(p.folders, (std::vector<std::string>{"\\", "a\\", "z\\deep\\"}));
  EXPECT_EQ(p.rows[0].name, "top.txt");
  EXPECT_EQ(p.rows[0].chapters, "2");
  EXPECT_EQ(text.find("<"), std::string::npos);
  EXPECT_NE(text.find("\n\"z\\deep\\\" directory\n         1  A---   1970-01-01 00:00:00  f.txt\n"),
            std::string::npos);
}

TEST_F(ListingPrinter, ColumnsHoldHugeSizesOddNamesAndAttributes) {
  EXPECT_EQ(sizeColumn(0), "         0");
  EXPECT_EQ(sizeColumn(9999999999ULL), "9999999999");
  EXPECT_EQ(sizeColumn(10737418240ULL), " 10485760K");
  EXPECT_EQ(sizeColumn(~0ULL).size(), 10u);
  MemberInfo m;
  m.kind = MemberKind::Symlink;
  m.attributes = kAttrHidden | kAttrReadOnly | kAttrSystem;
  EXPECT_EQ(attributeText(m), "LHRS");
  m.kind = MemberKind::File;
  m.attributes = 0;
  EXPECT_EQ(attributeText(m), "----");

  ListingHeader h;
  h.archivePath = "/t/evil\nname.j";
  MemberInfo evil = member("bad\nname <1-1>", MemberKind::File, 10737418240ULL, -5000000000000LL, 1, 1);
  const std::string text = print(h, {evil});
  const auto p = listing::parse(text);
  EXPECT_EQ(p.archivePath, "/t/evil?name.j");
  EXPECT_EQ(p.rows[0].name, "bad?name <1-1>");
  EXPECT_EQ(p.rows[0].modified, "0000-00-00 00:00:00");
}

TEST_F(ListingPrinter, FlagsAndCommentsThatWouldMisleadTheReader) {
  EXPECT_EQ(flagLine(0), "");
  EXPECT_EQ(flagLine(kFlagHidden | kFlagProtected | kFlagEncrypted), "HIDDEN, PROTECTED, ENCRYPTED");
  ListingHeader h;
  h.archivePath = "/t/a.j";
  h.comment = "PROTECTED by law\nCurrent chapter: 7";
  const auto p = listing::parse(print(h, {}));
  EXPECT_EQ(p.flags, "");
  EXPECT_EQ(p.comment, (std::vector<std::string>{"", "PROTECTED by law", "Current chapter : 7"}));
  EXPECT_EQ(p.chapters, "1");
}

TEST_F(ListingPrinter, EnvelopeLinesStandWhereTheFrontEndReadsThem) {
  ListingHeader h;
  h.archivePath = "/t/s.j";
  h.flags = kFlagSecured | kFlagProtected;
  h.secured = h.envelopeTested = true;
  h.signature = "Tamber developers, key 3260-6A8B-A5F4-1C28-EF24, signed 2026-12-08 15:12:57";
  const std::string text = print(h, {member("a", MemberKind::File, 1, 0, 1, 1)});
  EXPECT_NE(text.find("members\n\n*** Verifying JAR SECURITY ENVELOPE\nArchive created "), std::string::npos);
  EXPECT_NE(text.find("= 0.0%\n*** Valid JAR SECURITY envelope signature:\n    Tamber developers, key "),
            std::string::npos);
  const auto p = listing::parse(text);
  EXPECT_TRUE(p.envelopeVerified);
  EXPECT_EQ(p.signature, h.signature);
  EXPECT_EQ(p.flags, "SECURED, PROTECTED");
  // Not tested (-he): no verifying line, and a line the front-end does not take as valid.
  h.envelopeTested = false;
  const std::string untested = print(h, {});
  EXPECT_EQ(untested.find("Verifying"), std::string::npos);
  EXPECT_EQ(untested.find("*** Valid"), std::string::npos);
  EXPECT_NE(untested.find("not tested (-he)"), std::string::npos);
}

TEST(Numbers, ThousandsAndTimes) {
  EXPECT_EQ(withThousands(0), "0");
  EXPECT_EQ(withThousands(999), "999");
  EXPECT_EQ(withThousands(1000), "1,000");
  EXPECT_EQ(withThousands(1234567), "1,234,567");
  EXPECT_EQ(withThousands(18446744073709551615ULL), "18,446,744,073,709,551,615");
  setenv("TZ", "Asia/Kolkata", 1);  // +05:30: the offset is not a whole hour
  tzset();
  EXPECT_EQ(localTimeText(1796724000), "2026-12-08 15:30:00");
  EXPECT_EQ(localTimeText(1796724000 + 1799), "2026-12-08 15:59:59");
  EXPECT_EQ(localTimeText(1796724000 + 1800), "2026-12-08 16:00:00");
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(localTimeText(-1), "1969-12-31 23:59:59");
}
