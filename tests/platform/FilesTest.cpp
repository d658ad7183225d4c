#include "platform/Files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/TempFolder.h"

using namespace platform;

TEST(Files, ExistenceAndSizes) {
  TempFolder dir;
  const std::string file = dir.path() + "/a.txt";
  EXPECT_FALSE(PathExists(file));
  EXPECT_EQ(FileSizeOf(file), -1);
  ASSERT_TRUE(WriteWholeFile(file, "hello"));
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(IsFolder(file));
  EXPECT_EQ(FileSizeOf(file), 5);
  EXPECT_TRUE(IsFolder(dir.path()));
  EXPECT_FALSE(FileExists(dir.path()));
  EXPECT_EQ(FileSizeOf(dir.path()), -1);
  EXPECT_FALSE(IsFolder(""));
}

TEST(Files, WholeFileRoundTripKeepsBytes) {
  TempFolder dir;
  const std::string file = dir.path() + "/b.bin";
  std::string data("line1\r\nline2\n\0tail", 19);
  ASSERT_TRUE(WriteWholeFile(file, data));
  std::string back;
  ASSERT_TRUE(ReadWholeFile(file, back));
  EXPECT_EQ(back, data);
  ASSERT_TRUE(WriteWholeFile(file, "x"));  // truncates
  ASSERT_TRUE(ReadWholeFile(file, back));
  EXPECT_EQ(back, "x");
  EXPECT_FALSE(ReadWholeFile(dir.path() + "/missing", back));
  EXPECT_EQ(back, "");
  EXPECT_FALSE(WriteWholeFile(dir.path() + "/no/such/folder/f", "x"));
}

TEST(Files, UniqueTempFilesAreNewEmptyAndPrivate) {
  TempFolder dir;
  std::string a = MakeUniqueTempFile(dir.path(), "~tb");
  std::string b = MakeUniqueTempFile(dir.path() + "/", "~tb");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(std::filesystem::path(a).filename().string().substr(0, 3), "~tb");
  EXPECT_EQ(std::filesystem::path(a).extension(), ".tmp");
  EXPECT_EQ(FileSizeOf(a), 0);
  struct stat st;
  ASSERT_EQ(::stat(a.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(MakeUniqueTempFile(dir.path() + "/missing", "~tb"), "");
  EXPECT_EQ(MakeUniqueTempFile("", "~tb"), "");
}

TEST(Files, DeletingAndWiping) {
  TempFolder dir;
  const std::string file = dir.path() + "/secret";
  const std::string peek = dir.path() + "/peek";  // a second name for the same bytes
  for (size_t size : {size_t{8}, size_t{4096}, size_t{10000}}) {
    SCOPED_TRACE(size);
    const std::string secret(size, 's');
    ASSERT_TRUE(WriteWholeFile(file, secret));
    ASSERT_EQ(::link(file.c_str(), peek.c_str()), 0);
    WipeAndDeleteFile(file);
    EXPECT_FALSE(PathExists(file));
    std::string left;
    ASSERT_TRUE(ReadWholeFile(peek, left));
    EXPECT_EQ(left, std::string(size, '\0'));  // overwritten before it went
    DeleteFileQuietly(peek);
  }
  DeleteFileQuietly(file);  // already gone: no complaint
  DeleteFileQuietly("");

  // A link in the file's place is removed; what it points to is left alone.
  ASSERT_TRUE(WriteWholeFile(peek, "keep"));
  std::filesystem::create_symlink(peek, file);
  WipeAndDeleteFile(file);
  EXPECT_FALSE(std::filesystem::is_symlink(file));
  std::string kept;
  ASSERT_TRUE(ReadWholeFile(peek, kept));
  EXPECT_EQ(kept, "keep");
}

TEST(Files, TempFolderAndProgramPath) {
  TempFolder dir;
  ScopedEnv tmpdir("TMPDIR", dir.path());
  EXPECT_EQ(SystemTempFolder(), dir.path() + "/");
  ScopedEnv missing("TMPDIR", dir.path() + "/gone");
  EXPECT_EQ(SystemTempFolder(), "");
  EXPECT_TRUE(FileExists(RunningProgramPath()));
}
