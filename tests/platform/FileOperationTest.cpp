// Copying, moving and renaming one file: free names on collisions, no half files after a cancel
// or a failure, moves across file systems.

#include "platform/FileOperation.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <csignal>
#include <cstring>
#include <filesystem>

#include "platform/Files.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;
using platform::FileOperationKind;
using platform::FileOperationRequest;
using platform::PerformFileOperation;

namespace {

std::string Read(const std::string& path) {
  std::string data;
  platform::ReadWholeFile(path, data);
  return data;
}

FileOperationRequest Request(FileOperationKind kind, std::string from, std::string to, bool collisions) {
  FileOperationRequest request;
  request.kind = kind;
  request.from = std::move(from);
  request.to = std::move(to);
  request.renameOnCollision = collisions;
  return request;
}

// Stops the work after a number of reports, counting them.
class StopAfter : public platform::FileOperationProgress {
 public:
  explicit StopAfter(int reports) : left_(reports) {}
  bool Report(uint64_t done, uint64_t total) override {
    last = done;
    this->total = total;
    ++reports;
    return left_-- > 0;
  }
  int reports = 0;
  uint64_t last = 0, total = 0;

 private:
  int left_;
};

class FileOperationTest : public ::testing::Test {
 protected:
  FileOperationTest() {
    fs::create_directories(target());
    source = temp.path() + "/backup.j";
    content = std::string(20 << 20, 'j');  // more than one chunk
    EXPECT_TRUE(platform::WriteWholeFile(source, content));
    ::chmod(source.c_str(), 0640);
  }
  std::string target() const { return temp.path() + "/target"; }

  TempFolder temp;
  std::string source, content;
};

}  // namespace

TEST(FreeNameLike, NumbersTheNameBeforeItsExtension) {
  TempFolder temp;
  const std::string base = temp.path() + "/backup.j";
  EXPECT_EQ(platform::FreeNameLike(base), temp.path() + "/backup (2).j");
  ASSERT_TRUE(platform::WriteWholeFile(temp.path() + "/backup (2).j", ""));
  EXPECT_EQ(platform::FreeNameLike(base), temp.path() + "/backup (3).j");
  EXPECT_EQ(platform::FreeNameLike(temp.path() + "/archive.tar.j"), temp.path() + "/archive.tar (2).j");
  EXPECT_EQ(platform::FreeNameLike(temp.path() + "/README"), temp.path() + "/README (2)");
  EXPECT_EQ(platform::FreeNameLike(temp.path() + "/.hidden"), temp.path() + "/.hidden (2)");
}

TEST_F(FileOperationTest, CopyWritesTheWholeFileWithItsModeAndTimeAndReportsProgress) {
  struct timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);
  StopAfter progress(1000);
  auto result = PerformFileOperation(Request(FileOperationKind::Copy, source, target() + "/backup.j", true), &progress);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.target, target() + "/backup.j");
  EXPECT_EQ(Read(result.target), content);
  struct stat st;
  ASSERT_EQ(::stat(result.target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
  EXPECT_GE(progress.reports, 3);
  EXPECT_EQ(progress.last, content.size());
  EXPECT_EQ(Read(source), content) << "the source is untouched";

  // The name is taken now: the next copy gets the next free one, the first is not replaced.
  ASSERT_TRUE(platform::WriteWholeFile(target() + "/backup.j", "mine"));
  result = PerformFileOperation(Request(FileOperationKind::Copy, source, target() + "/backup.j", true));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.target, target() + "/backup (2).j");
  EXPECT_EQ(Read(target() + "/backup.j"), "mine");
  // Without collisions allowed a taken name is a failure.
  result = PerformFileOperation(Request(FileOperationKind::Copy, source, target() + "/backup.j", false));
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("A file of that name exists."), std::string::npos);
  EXPECT_EQ(Read(target() + "/backup.j"), "mine");
}

TEST_F(FileOperationTest, ACancelledCopyLeavesNoFile) {
  StopAfter progress(1);  // the start and the first chunk, then stop
  auto result = PerformFileOperation(Request(FileOperationKind::Copy, source, target() + "/backup.j", true), &progress);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(result.error.empty());
  EXPECT_TRUE(fs::is_empty(target()));
  EXPECT_EQ(Read(source), content);
}

// A process that may write no more than a few bytes fails as on a full disk.
TEST_F(FileOperationTest, ACopyThatCannotBeWrittenLeavesNoFileAndSaysWhy) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1 << 20, RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    auto result = PerformFileOperation(Request(FileOperationKind::Copy, source, target() + "/backup.j", true));
    const bool said = !result.ok && !result.cancelled && result.error.find(std::strerror(EFBIG)) != std::string::npos;
    ::_exit(said ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(fs::is_empty(target())) << "no half file and no temporary";
  EXPECT_EQ(Read(source), content);
}

TEST_F(FileOperationTest, AFolderThatCannotBeWrittenIsReported) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ::chmod(target().c_str(), 0555);
  auto result = PerformFileOperation(Request(FileOperationKind::Copy, source, target() + "/backup.j", true));
  ::chmod(target().c_str(), 0755);
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find(std::strerror(EACCES)), std::string::npos);
  EXPECT_TRUE(fs::is_empty(target()));
}

TEST_F(FileOperationTest, MoveAndRenameOnOneFileSystemRenameTheFile) {
  auto result = PerformFileOperation(Request(FileOperationKind::Move, source, target() + "/backup.j", true));
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_FALSE(platform::FileExists(source));
  EXPECT_EQ(Read(target() + "/backup.j"), content);

  ASSERT_TRUE(platform::WriteWholeFile(source, "second"));
  result = PerformFileOperation(Request(FileOperationKind::Move, source, target() + "/backup.j", true));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.target, target() + "/backup (2).j");
  EXPECT_EQ(Read(target() + "/backup.j"), content) << "never replaced";

  result = PerformFileOperation(Request(FileOperationKind::Rename, target() + "/backup (2).j", target() + "/new.j", false));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Read(target() + "/new.j"), "second");
  result = PerformFileOperation(Request(FileOperationKind::Rename, target() + "/new.j", target() + "/backup.j", false));
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(platform::FileExists(target() + "/new.j"));
  result = PerformFileOperation(Request(FileOperationKind::Move, target() + "/new.j", target() + "/new.j", true));
  EXPECT_FALSE(result.ok) << "a file is not moved onto itself";
  EXPECT_NE(result.error.find("same file"), std::string::npos);
  result = PerformFileOperation(Request(FileOperationKind::Move, temp.path() + "/gone.j", target() + "/x.j", true));
  EXPECT_FALSE(result.ok);
}

TEST_F(FileOperationTest, AMoveToAnotherFileSystemCopiesThenRemovesTheSource) {
  struct stat here, shm;
  if (::stat("/dev/shm", &shm) != 0 || ::stat(temp.path().c_str(), &here) != 0 || here.st_dev == shm.st_dev)
    GTEST_SKIP() << "no second file system to move to";
  char pattern[] = "/dev/shm/tamber-move-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string elsewhere = pattern;
  auto result = PerformFileOperation(Request(FileOperationKind::Move, source, elsewhere + "/backup.j", true));
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(Read(elsewhere + "/backup.j"), content);
  EXPECT_FALSE(platform::FileExists(source));
  // A cancelled move across file systems keeps the source and leaves nothing there.
  ASSERT_TRUE(platform::WriteWholeFile(source, content));
  StopAfter progress(1);
  result = PerformFileOperation(Request(FileOperationKind::Move, source, elsewhere + "/second.j", true), &progress);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(Read(source), content);
  EXPECT_FALSE(platform::PathExists(elsewhere + "/second.j"));
  fs::remove_all(elsewhere);
}
