// The desktop's trash: where a file goes, the info file beside it, names taken twice.

#include "platform/Trash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const std::string& path) {
  std::string data;
  platform::ReadWholeFile(path, data);
  return data;
}

}  // namespace

TEST(Trash, EscapesPathsAsTheSpecificationAsks) {
  EXPECT_EQ(platform::TrashPathEscape("/home/user/backup.j"), "/home/user/backup.j");
  EXPECT_EQ(platform::TrashPathEscape("/a b/c%d\xC3\xA9\n"), "/a%20b/c%25d%C3%A9%0A");
}

TEST(Trash, MovesTheFileAndWritesItsInfo) {
  TempFolder temp;
  ScopedEnv data("XDG_DATA_HOME", temp.path() + "/data");
  const std::string file = temp.path() + "/my archive.j";
  ASSERT_TRUE(platform::WriteWholeFile(file, "first"));
  std::string reason;
  ASSERT_TRUE(platform::MoveToTrash(file, reason)) << reason;
  EXPECT_FALSE(platform::PathExists(file));
  const std::string trash = temp.path() + "/data/Trash";
  EXPECT_EQ(Read(trash + "/files/my archive.j"), "first");
  const std::string info = Read(trash + "/info/my archive.j.trashinfo");
  EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + platform::TrashPathEscape(fs::canonical(temp.path()).string()) +
                           "/my%20archive.j\nDeletionDate=",
                       0),
            0u)
      << info;
  EXPECT_EQ(info.size(), info.find("DeletionDate=") + 13 + 19 + 1) << "YYYY-MM-DDThh:mm:ss";
  EXPECT_EQ(fs::status(trash).permissions() & fs::perms::all, fs::perms::owner_all);

  // The same name again gets a name of its own; the first stays.
  ASSERT_TRUE(platform::WriteWholeFile(file, "second"));
  ASSERT_TRUE(platform::MoveToTrash(file, reason)) << reason;
  EXPECT_EQ(Read(trash + "/files/my archive.2.j"), "second");
  EXPECT_EQ(Read(trash + "/files/my archive.j"), "first");
  EXPECT_TRUE(platform::FileExists(trash + "/info/my archive.2.j.trashinfo"));
}

TEST(Trash, ALinkIsTrashedItselfAndAMissingFileIsReported) {
  TempFolder temp;
  ScopedEnv data("XDG_DATA_HOME", temp.path() + "/data");
  ASSERT_TRUE(platform::WriteWholeFile(temp.path() + "/real.j", "data"));
  fs::create_symlink(temp.path() + "/real.j", temp.path() + "/link.j");
  std::string reason;
  ASSERT_TRUE(platform::MoveToTrash(temp.path() + "/link.j", reason)) << reason;
  EXPECT_TRUE(fs::is_symlink(temp.path() + "/data/Trash/files/link.j"));
  EXPECT_EQ(Read(temp.path() + "/real.j"), "data");
  EXPECT_FALSE(platform::MoveToTrash(temp.path() + "/missing.j", reason));
  EXPECT_FALSE(reason.empty());
}

TEST(Trash, DeleteFileNowSaysWhyItCouldNot) {
  TempFolder temp;
  std::string reason;
  ASSERT_TRUE(platform::WriteWholeFile(temp.path() + "/x", "x"));
  EXPECT_TRUE(platform::DeleteFileNow(temp.path() + "/x", reason));
  EXPECT_FALSE(platform::DeleteFileNow(temp.path() + "/x", reason));
  EXPECT_EQ(reason, std::strerror(ENOENT));
}
