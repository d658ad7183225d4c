// The comment pane's lines: header lines over the comment, the comment read back, and the name
// handed to the archiver.

#include "mainwindow/CommentLines.h"

#include <gtest/gtest.h>

#include "mainwindow/ArchiveName.h"

using V = std::vector<std::string>;

TEST(CommentLines, HeaderLinesGoOverTheCommentInTheirOrder) {
  V pane{"first comment line", "second comment line"};
  AddHeaderLines(pane, true, "<1-2>", "PROTECTED");
  EXPECT_EQ(pane, (V{"Flags: PROTECTED", "Current Chapter(s): <1-2>", "Archive Comments:", "first comment line",
                     "second comment line"}));

  V empty;
  AddHeaderLines(empty, false, "", "");
  EXPECT_TRUE(empty.empty());
  AddHeaderLines(empty, false, "2", "LOCKED");
  EXPECT_EQ(empty, (V{"Flags: LOCKED", "Current Chapter(s): 2"}));
}

TEST(CommentLines, TheCommentIsWhatFollowsTheHeaderInTheFirstThreeLines) {
  V target{"kept"};
  EXPECT_FALSE(CommentOfPane({}, target));
  EXPECT_FALSE(CommentOfPane({"Flags: LOCKED", "Current Chapter(s): 1"}, target));
  EXPECT_EQ(target, V{"kept"});
  EXPECT_TRUE(CommentOfPane({"Flags: X", "Current Chapter(s): 1", "Archive Comments:", "a", "b"}, target));
  EXPECT_EQ(target, (V{"a", "b"}));
  EXPECT_TRUE(CommentOfPane({"Archive Comments:"}, target));
  EXPECT_TRUE(target.empty());
  // Beyond the third line a header-like text is a comment line.
  target = {"kept"};
  EXPECT_FALSE(CommentOfPane({"x", "y", "z", "Archive Comments:", "a"}, target));
  EXPECT_EQ(target, V{"kept"});
}

TEST(ArchiveName, OnlyWindowsNamesWithoutExtensionGetAFinalDot) {
  EXPECT_EQ(LiteralArchiveName("C:\\DATA\\BACKUP", platform::PathStyle::Windows), "C:\\DATA\\BACKUP.");
  EXPECT_EQ(LiteralArchiveName("C:\\DATA\\BACKUP.", platform::PathStyle::Windows), "C:\\DATA\\BACKUP.");
  EXPECT_EQ(LiteralArchiveName("C:\\DATA\\BACKUP.j", platform::PathStyle::Windows), "C:\\DATA\\BACKUP.j");
  // jar32.exe on Linux adds no extension: the name stays what the file is called.
  EXPECT_EQ(LiteralArchiveName("/data/BACKUP", platform::PathStyle::Posix), "/data/BACKUP");
}
