// The recent archives: the list's rules and the shortened menu captions, under both path styles.

#include "mainwindow/RecentArchives.h"

#include <gtest/gtest.h>

using platform::PathStyle;
using V = std::vector<std::string>;

TEST(RecentArchives, KeepsTheFourNewestWithoutMovingOnesItHas) {
  RecentArchives recent(PathStyle::Posix);
  EXPECT_FALSE(recent.Add(""));
  for (const char* path : {"/a.j", "/b.j", "/c.j", "/d.j", "/e.j"}) EXPECT_TRUE(recent.Add(path));
  EXPECT_EQ(recent.entries(), (V{"/e.j", "/d.j", "/c.j", "/b.j"}));
  // Opening one again does not move it to the front.
  EXPECT_FALSE(recent.Add("/c.j"));
  EXPECT_EQ(recent.entries(), (V{"/e.j", "/d.j", "/c.j", "/b.j"}));
}

TEST(RecentArchives, ComparesPathsAsTheFileSystemDoes) {
  RecentArchives windows(PathStyle::Windows);
  windows.Add("C:\\Data\\Backup.j");
  EXPECT_FALSE(windows.Add("c:\\DATA\\backup.J"));
  RecentArchives posix(PathStyle::Posix);
  posix.Add("/data/Backup.j");
  EXPECT_TRUE(posix.Add("/data/backup.j")) << "two different files under POSIX";
  EXPECT_EQ(posix.size(), 2u);
}

TEST(RecentArchives, FindsTheEntryACaptionNames) {
  RecentArchives recent(PathStyle::Posix);
  recent.Add("/b.j");
  recent.Add("/a.j");
  ASSERT_NE(recent.EntryOfCaption("&1 /a.j"), nullptr);
  EXPECT_EQ(*recent.EntryOfCaption("&1 /a.j"), "/a.j");
  EXPECT_EQ(*recent.EntryOfCaption("&2 /whatever"), "/b.j");
  EXPECT_EQ(recent.EntryOfCaption("&3 /c.j"), nullptr);
  EXPECT_EQ(recent.EntryOfCaption("&0"), nullptr);
  EXPECT_EQ(recent.EntryOfCaption("1 /a.j"), nullptr);
  EXPECT_EQ(recent.EntryOfCaption("&"), nullptr);
}

TEST(ShortenPath, KeepsTheRootAndTheLeadingFoldersThatFit) {
  EXPECT_EQ(ShortenPath("C:\\Program Files\\Data\\Archives\\Backup\\file.j", PathStyle::Windows),
            "C:\\Program Files\\...\\file.j");
  EXPECT_EQ(ShortenPath("C:\\One\\Two\\Three\\Four\\Five\\Six\\archive.j", PathStyle::Windows),
            "C:\\One\\Two\\...\\archive.j");
  EXPECT_EQ(ShortenPath("/Program Files/Data/Archives/Backup/file.j", PathStyle::Posix), "/Program Files/.../file.j");
  EXPECT_EQ(ShortenPath("/One/Two/Three/Four/Five/Six/archive.j", PathStyle::Posix), "/One/Two/Three/.../archive.j");
  // Thirty characters or fewer stay as they are.
  EXPECT_EQ(ShortenPath("C:\\Data\\Archives\\backup2026.j", PathStyle::Windows), "C:\\Data\\Archives\\backup2026.j");
  EXPECT_EQ(ShortenPath("/home/user/archives/backup.j", PathStyle::Posix), "/home/user/archives/backup.j");
  // A long file name keeps only the root before it.
  const std::string longName(40, 'n');
  EXPECT_EQ(ShortenPath("/home/user/" + longName, PathStyle::Posix), "/.../" + longName);
  // A first folder that alone is too long gives the short form.
  EXPECT_EQ(ShortenPath("/" + std::string(40, 'f') + "/x.j", PathStyle::Posix), "/.../x.j");
  // Characters, not bytes: thirty accented letters still fit.
  const std::string accented = "/\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9/archive.j";
  EXPECT_EQ(ShortenPath(accented, PathStyle::Posix), accented);
}

TEST(ShortenPath, MakesTheRecentMenuCaptions) {
  EXPECT_EQ(RecentCaption(0, "C:\\Program Files\\Data\\Archives\\Backup\\file.j", PathStyle::Windows),
            "&1 C:\\Program Files\\...\\file.j");
  EXPECT_EQ(RecentCaption(3, "/tmp/a.j", PathStyle::Posix), "&4 /tmp/a.j");
  // A stored entry of 100 KB makes a caption without trouble.
  const std::string huge = "/" + std::string(100'000, 'x') + "/" + std::string(100'000, 'y');
  EXPECT_EQ(RecentCaption(0, huge, PathStyle::Posix), "&1 /.../" + std::string(100'000, 'y'));
}
