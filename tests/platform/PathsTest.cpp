#include "platform/Paths.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {
constexpr PathStyle W = PathStyle::Windows;
constexpr PathStyle P = PathStyle::Posix;
}  // namespace

TEST(Paths, PartsUnderWindowsStyle) {
  EXPECT_EQ(RootPart("C:\\SRC\\a.txt", W), "C:");
  EXPECT_EQ(RootPart("\\\\server\\share\\x\\a.txt", W), "\\\\server\\share");
  EXPECT_EQ(RootPart("\\x\\a.txt", W), "");
  EXPECT_EQ(FolderPart("C:\\SRC\\a.txt", W), "C:\\SRC\\");
  EXPECT_EQ(FolderPart("C:a.txt", W), "C:");
  EXPECT_EQ(FileNamePart("C:\\SRC\\a.txt", W), "a.txt");
  EXPECT_EQ(FileNamePart("C:\\SRC\\", W), "");
  EXPECT_EQ(ExtensionPart("C:\\x.d\\backup.tar.j", W), ".j");
  EXPECT_EQ(ExtensionPart("C:\\x.d\\README", W), "");
  EXPECT_EQ(JoinPath("C:\\SRC", "a.txt", W), "C:\\SRC\\a.txt");
  EXPECT_EQ(JoinPath("C:\\SRC\\", "a.txt", W), "C:\\SRC\\a.txt");
  EXPECT_EQ(WithoutTrailingSeparator("C:\\SRC\\", W), "C:\\SRC");
  EXPECT_EQ(WithoutTrailingSeparator("C:\\", W), "C:\\");
}

TEST(Paths, PartsUnderPosixStyle) {
  EXPECT_EQ(RootPart("/src/a.txt", P), "/");
  EXPECT_EQ(RootPart("src/a.txt", P), "");
  EXPECT_EQ(FolderPart("/src/a.txt", P), "/src/");
  EXPECT_EQ(FolderPart("a.txt", P), "");
  EXPECT_EQ(FileNamePart("/src/a\\b.txt", P), "a\\b.txt");  // a backslash is part of a POSIX name
  EXPECT_EQ(ExtensionPart("/x.d/backup.tar.j", P), ".j");
  EXPECT_EQ(JoinPath("/", "a.txt", P), "/a.txt");
  EXPECT_EQ(JoinPath("", "a.txt", P), "a.txt");
  EXPECT_EQ(WithoutTrailingSeparator("/src/", P), "/src");
  EXPECT_EQ(WithoutTrailingSeparator("/", P), "/");
}

TEST(Paths, NormalizeFolder) {
  EXPECT_EQ(NormalizeFolder("", W), "");
  EXPECT_EQ(NormalizeFolder("\"C:\\Program Files\"", W), "C:\\Program Files\\");
  EXPECT_EQ(NormalizeFolder("C:\\x\\", W), "C:\\x\\");
  EXPECT_EQ(NormalizeFolder("C:", W), "");    // too short to be a folder
  EXPECT_EQ(NormalizeFolder("\"C:", W), "C:\\");  // the length counts the leading quote
  EXPECT_EQ(NormalizeFolder("\"", W), "");

  EXPECT_EQ(NormalizeFolder("\"/home/user/My Files\"", P), "/home/user/My Files/");
  EXPECT_EQ(NormalizeFolder("/", P), "/");
  EXPECT_EQ(NormalizeFolder("\"/\"", P), "/");
  EXPECT_EQ(NormalizeFolder("\"", P), "");
}

TEST(Paths, StripQuotes) {
  EXPECT_EQ(StripQuotes("\"a b\""), "a b");
  EXPECT_EQ(StripQuotes("a b\""), "a b");
  EXPECT_EQ(StripQuotes("\""), "");
  EXPECT_EQ(StripQuotes("\"\""), "");
  EXPECT_EQ(StripQuotes(""), "");
}

TEST(Paths, JoinFolderAndName) {
  EXPECT_EQ(JoinFolderAndName("C:\\Tools", "D:\\other\\jar.cfg", W), "C:\\Tools\\jar.cfg");
  EXPECT_EQ(JoinFolderAndName("/opt/tools", "/etc/jar.cfg", P), "/opt/tools/jar.cfg");
}

TEST(Paths, MakeAbsoluteNameUnderWindowsStyle) {
  EXPECT_EQ(MakeAbsoluteName("C:\\SRC", "sub\\a.txt", W), "C:\\SRC\\sub\\a.txt");
  EXPECT_EQ(MakeAbsoluteName("C:\\SRC\\", "sub\\a.txt", W), "C:\\SRC\\sub\\a.txt");
  EXPECT_EQ(MakeAbsoluteName("C:\\SRC", "D:\\x\\a.txt", W), "D:\\x\\a.txt");
  EXPECT_EQ(MakeAbsoluteName("C:\\SRC", "\\x\\a.txt", W), "\\x\\a.txt");
  EXPECT_EQ(MakeAbsoluteName("\\\\srv\\share", "a.txt", W), "\\\\srv\\share\\a.txt");
  EXPECT_EQ(MakeAbsoluteName("SRC", "a.txt", W), "a.txt");  // base without a drive
  EXPECT_EQ(MakeAbsoluteName("C:\\SRC", "sub\\", W), "");   // no file-name part
  EXPECT_EQ(MakeAbsoluteName("C:\\SRC", "", W), "");
}

TEST(Paths, MakeAbsoluteNameUnderPosixStyle) {
  EXPECT_EQ(MakeAbsoluteName("/src", "sub/a.txt", P), "/src/sub/a.txt");
  EXPECT_EQ(MakeAbsoluteName("/src/", "sub/a.txt", P), "/src/sub/a.txt");
  EXPECT_EQ(MakeAbsoluteName("/src", "/x/a.txt", P), "/x/a.txt");
  EXPECT_EQ(MakeAbsoluteName("src", "a.txt", P), "a.txt");
  EXPECT_EQ(MakeAbsoluteName("/src", "sub/", P), "");
}

TEST(Paths, MakeRelativeName) {
  EXPECT_EQ(MakeRelativeName("C:\\SRC\\", "c:\\src\\a.txt", W), "a.txt");
  EXPECT_EQ(MakeRelativeName("C:\\SRC\\", "D:\\src\\a.txt", W), "D:\\src\\a.txt");
  EXPECT_EQ(MakeRelativeName("/src/", "/src/a.txt", P), "a.txt");
  // POSIX names differ by case: /SRC and /src are different folders.
  EXPECT_EQ(MakeRelativeName("/SRC/", "/src/a.txt", P), "/src/a.txt");
  EXPECT_EQ(MakeRelativeName("/src/longer/", "/src/", P), "/src/");
}
