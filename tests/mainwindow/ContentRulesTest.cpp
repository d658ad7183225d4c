// The content commands' rules without a window: the pane's chapter line, the default folders, the
// in-place copy, the new archive's extension, the names the archiver cannot take, and file lists
// from the clipboard and from drops.

#include "mainwindow/ContentRules.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "mainwindow/ClipboardFiles.h"
#include "tests/support/FakeClipboard.h"
#include "tests/support/TempFolder.h"

using V = std::vector<std::string>;

TEST(ChapterChoiceOfPane, ARangeSetsTheLastChapterASingleChapterDisablesTheChoice) {
  auto range = ChapterChoiceOfPane({"Flags: LOCKED", "Current Chapter(s): 1-3", "Archive Comments:"});
  ASSERT_TRUE(range);
  EXPECT_EQ(range->kind, ChapterChoice::kRange);
  EXPECT_EQ(range->last, 3);
  range = ChapterChoiceOfPane({"Current Chapter(s): 2-12   "});  // trailing blanks do not count
  ASSERT_TRUE(range);
  EXPECT_EQ(range->last, 12);

  auto single = ChapterChoiceOfPane({"Current Chapter(s): 2"});
  ASSERT_TRUE(single);
  EXPECT_EQ(single->kind, ChapterChoice::kSingle);
}

TEST(ChapterChoiceOfPane, WithoutANumberAfterTheDashOrWithoutTheLineNothingChanges) {
  for (const V& pane : {V{"Current Chapter(s): <1-2>"}, V{"Current Chapter(s): 1-"}, V{"Flags: X", "comment"},
                        V{"first comment - line", "second"}}) {
    auto choice = ChapterChoiceOfPane(pane);
    ASSERT_TRUE(choice) << pane[0];
    EXPECT_EQ(choice->kind, ChapterChoice::kLeave) << pane[0];
  }
  // Line 1 is read when line 0 is not the chapters line: a pane of one other line fails.
  EXPECT_FALSE(ChapterChoiceOfPane({}));
  EXPECT_FALSE(ChapterChoiceOfPane({"Flags: LOCKED"}));
}

TEST(PaneShowsRecoveryRecords, OnlyTheFlagsLineOnTopCounts) {
  EXPECT_TRUE(PaneShowsRecoveryRecords({"Flags: LOCKED RECOVERY RECORDS", "x"}));
  EXPECT_FALSE(PaneShowsRecoveryRecords({"Current Chapter(s): 1", "Flags: RECOVERY RECORDS"}));
  EXPECT_FALSE(PaneShowsRecoveryRecords({"RECOVERY RECORDS Flags: "}));
  EXPECT_FALSE(PaneShowsRecoveryRecords({}));
}

TEST(DefaultFolder, ByModeWithTheCurrentFolderForOneThatDoesNotExist) {
  TempFolder temp;
  const std::string last = temp.path() + "/last", configured = temp.path() + "/set";
  std::filesystem::create_directories(last);
  std::filesystem::create_directories(configured);
  const std::string archive = temp.path() + "/a.j";
  EXPECT_EQ(DefaultFolder(1, last, configured, archive), last);
  EXPECT_EQ(DefaultFolder(2, last, configured, archive), configured);
  EXPECT_EQ(DefaultFolder(0, last, configured, archive), temp.path() + "/");
  EXPECT_EQ(DefaultFolder(7, last, configured, archive), temp.path() + "/");
  const std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(DefaultFolder(1, temp.path() + "/gone", configured, archive), here);
  EXPECT_EQ(DefaultFolder(0, last, configured, ""), here);
  EXPECT_EQ(DefaultFolder(2, last, "  " + configured + " ", archive), here) << "blanks make another folder";
}

TEST(CopyChangesInPlace, TheSameTextNothingOrTheBareFileName) {
  const std::string copied = "/home/u/files/demo.j";
  EXPECT_TRUE(CopyChangesInPlace(copied, copied));
  EXPECT_TRUE(CopyChangesInPlace("", copied));
  EXPECT_TRUE(CopyChangesInPlace("demo.j", copied));
  EXPECT_FALSE(CopyChangesInPlace("other.j", copied));
  EXPECT_FALSE(CopyChangesInPlace("/tmp/demo.j", copied));
  EXPECT_FALSE(CopyChangesInPlace("files/demo.j", copied));
}

TEST(WithArchiveExtension, OnlyANameWithoutExtensionGetsDotJ) {
  EXPECT_EQ(WithArchiveExtension("/x/Untitled"), "/x/Untitled.j");
  EXPECT_EQ(WithArchiveExtension("/x/a.jar"), "/x/a.jar");
  EXPECT_EQ(WithArchiveExtension("/x.y/Untitled"), "/x.y/Untitled.j");
  EXPECT_EQ(WithArchiveExtension("/x/"), "/x/");
  EXPECT_EQ(WithArchiveExtension(""), "");
}

TEST(UnfitForArchiver, WildcardsQuotesBackslashesAndControlCharacters) {
  for (const char* name : {"/a/b*c", "/a/b?c", "/a/\"q\"", "/a/b\\c", "/a/two\nlines", "/a/tab\there", "/a/\x7f"})
    EXPECT_TRUE(UnfitForArchiver(name)) << name;
  for (const char* name : {"/a/-rf", "/a/@list", "/a/it's [1] & (2).txt", "/a/\xc3\xa9t\xc3\xa9", "/a/\xff\xfe"})
    EXPECT_FALSE(UnfitForArchiver(name)) << name;
}

TEST(LocalPathOfUri, LocalFileUrisArePercentDecodedToBytes) {
  EXPECT_EQ(LocalPathOfUri("file:///home/u/a%20b.txt"), "/home/u/a b.txt");
  EXPECT_EQ(LocalPathOfUri("file://localhost/tmp/x"), "/tmp/x");
  EXPECT_EQ(LocalPathOfUri("FILE:///tmp/x"), "/tmp/x");
  EXPECT_EQ(LocalPathOfUri("file:/tmp/x"), "/tmp/x");
  EXPECT_EQ(LocalPathOfUri("file:///tmp/dir/"), "/tmp/dir");
  EXPECT_EQ(LocalPathOfUri("file:///"), "/");
  EXPECT_EQ(LocalPathOfUri("file:///tmp/%FF%fe%0Aend"), "/tmp/\xff\xfe\nend") << "bytes, not text";
  for (const char* uri : {"file://server/share/x", "https://example.org/x", "smb://h/x", "file:///tmp/%zz",
                          "file:///tmp/%4", "file:///tmp/%00x", "file:relative", "file:///a?b", "/plain/path"})
    EXPECT_EQ(LocalPathOfUri(uri), "") << uri;
}

TEST(ParseUriList, LinesCommentsAndTheGnomeHeader) {
  DroppedFiles files = ParseUriList("# a comment\r\nfile:///a\r\n\r\nfile:///b%23c\r\nhttp://h/x\n");
  EXPECT_EQ(files.paths, (V{"/a", "/b#c"}));
  EXPECT_EQ(files.refused, V{"http://h/x"});
  EXPECT_EQ(ParseUriList("cut\nfile:///a\nfile:///b", true).paths, (V{"/a", "/b"}));
  EXPECT_EQ(ParseUriList("copy\nfile:///a", true).paths, V{"/a"});
  EXPECT_EQ(ParseUriList("copy\nfile:///a").refused, V{"copy"}) << "the header only in GNOME's format";
}

TEST(ClipboardFiles, TheThreeFileManagerFormatsAndNothingElse) {
  testsupport::FakeClipboard clipboard;
  V list{"old"};
  int count = -1;
  EXPECT_FALSE(ClipboardFiles(clipboard, list, count));
  clipboard.setText("file:///not/a/file/list");
  EXPECT_FALSE(ClipboardFiles(clipboard, list, count));
  EXPECT_EQ(list, V{"old"});

  clipboard.clear();
  clipboard.set(kUriListFormat, "file:///x/one\r\nfile:///x/two\r\n");
  ASSERT_TRUE(ClipboardFiles(clipboard, list, count));
  EXPECT_EQ(list, (V{"/x/one", "/x/two"}));
  EXPECT_EQ(count, 2);

  clipboard.set(kKdeCutFormat, "1");  // a cut in KDE's file manager: read like a copy
  ASSERT_TRUE(ClipboardFiles(clipboard, list, count));
  EXPECT_EQ(count, 2);

  clipboard.clear();
  clipboard.set(kGnomeFilesFormat, "cut\nfile:///g/one");
  ASSERT_TRUE(ClipboardFiles(clipboard, list, count));
  EXPECT_EQ(list, V{"/g/one"});
  clipboard.set(kUriListFormat, "file:///other");  // GNOME's list wins where both are offered
  ASSERT_TRUE(ClipboardFiles(clipboard, list, count));
  EXPECT_EQ(list, V{"/g/one"});

  clipboard.clear();
  clipboard.set(kUriListFormat, "file:///x/one\r\nhttps://example.org/page\r\n");
  EXPECT_FALSE(ClipboardFiles(clipboard, list, count)) << "a list naming anything but local files";
  clipboard.set(kUriListFormat, "\r\n# nothing\r\n");
  EXPECT_FALSE(ClipboardFiles(clipboard, list, count));
}

TEST(ClipboardFiles, AHundredThousandFilesAndFiftyMegabytesOfText) {
  testsupport::FakeClipboard clipboard;
  std::string uris;
  for (int i = 0; i < 100000; ++i) uris += "file:///data/file%20" + std::to_string(i) + "\r\n";
  clipboard.set(kUriListFormat, uris);
  V list;
  int count = 0;
  ASSERT_TRUE(ClipboardFiles(clipboard, list, count));
  EXPECT_EQ(count, 100000);
  EXPECT_EQ(list.back(), "/data/file 99999");

  clipboard.clear();
  clipboard.set("text/plain", std::string(50u << 20, 'x'));
  EXPECT_FALSE(ClipboardFiles(clipboard, list, count));
  clipboard.set(kUriListFormat, std::string(50u << 20, 'x'));
  EXPECT_FALSE(ClipboardFiles(clipboard, list, count));
}
