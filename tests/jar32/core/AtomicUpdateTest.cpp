// A failure at any step of an update leaves the old archive byte-identical and no temporary
// file behind; leftovers of killed runs are removed by later runs.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "FaultInjection.h"
#include "Methods.h"
#include "TestSupport.h"
#include "jar32/Interrupt.h"

namespace jar32::test {
namespace {

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Atomic : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(dir / "arc");
    writeFile(dir / "one", sampleText(50000, 1));
    writeFile(dir / "two", sampleText(70000, 2));
    add(arc(), {source(dir / "one", "one")});
  }
  void TearDown() override { fault::arm("", 0); }
  std::string arc() const { return dir / "arc/a.j"; }
  void update(const WriteSettings& s = {}) {
    add(arc(), {source(dir / "one", "one", 5), source(dir / "two", "two")}, s);
  }
  TempDir dir;
};

TEST_F(Atomic, FailureAtEveryStepLeavesTheOldArchive) {
  const auto before = readBytes(arc());
  const auto folder = filesIn(dir / "arc");
  fault::arm("", -1);  // count the steps of one update
  {
    TempDir scratch;
    std::filesystem::copy_file(arc(), scratch / "a.j");
    add(scratch / "a.j", {source(dir / "one", "one", 5), source(dir / "two", "two")});
  }
  std::map<std::string, int> counts;
  for (const char* step : {"write", "sync", "block", "directory", "rename"})
    counts[step] = fault::count(step);
  EXPECT_GT(counts["write"], 3);
  for (auto& [step, n] : counts) {
    for (int k = 1; k <= n; ++k) {
      fault::arm(step, k);
      try {
        update();
        ADD_FAILURE() << step << " #" << k << " did not fail";
      } catch (const JarError& e) {
        EXPECT_EQ(e.exitCode, kWriteError) << step << " #" << k;
      }
      EXPECT_EQ(readBytes(arc()), before) << step << " #" << k;
      EXPECT_EQ(filesIn(dir / "arc"), folder) << step << " #" << k;
    }
  }
  fault::arm("", 0);
  update();
  EXPECT_EQ(Archive::open(arc(), "")->members().size(), 2u);
}

TEST_F(Atomic, InterruptionLeavesTheOldArchive) {
  const auto before = readBytes(arc());
  struct Stop : Progress {
    bool interrupted() override { return true; }
  } stop;
  try {
    addFiles(arc(), {source(dir / "two", "two")}, AddMode::Add, false, false,
             ChapterCompare::SizeAndTime, {}, &stop);
    FAIL();
  } catch (const JarError& e) {
    EXPECT_EQ(e.exitCode, kInterrupted);
  }
  EXPECT_EQ(readBytes(arc()), before);
  EXPECT_EQ(filesIn(dir / "arc"), std::vector<std::string>{"a.j"});
}

TEST_F(Atomic, AnArchiveBeingChangedElsewhereIsRefused) {
  const auto before = readBytes(arc());
  int fd = ::open(arc().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);  // as another jar32 holds it during a change
  try {
    update();
    ADD_FAILURE() << "the change went ahead";
  } catch (const JarError& e) {
    EXPECT_EQ(e.exitCode, kFatal);
  }
  ::close(fd);
  EXPECT_EQ(readBytes(arc()), before);
  update();
}

TEST_F(Atomic, TerminationSignalRemovesTheTemporaryArchive) {
  const auto before = readBytes(arc());
  int notify[2], resume[2];
  ASSERT_EQ(pipe(notify), 0);
  ASSERT_EQ(pipe(resume), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    installInterruptHandlers();
    fault::pause("block", 2, notify[1], resume[0]);  // the temporary archive is half written
    try {
      setBlockLimitForTesting(16 * 1024);
      add(arc(), {source(dir / "one", "one", 5), source(dir / "two", "two")});
    } catch (...) {
    }
    _exit(0);
  }
  close(notify[1]);
  close(resume[0]);
  pollfd p{notify[0], POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 60000), 1) << "the writer never reached its second block";
  bool seen = false;
  for (const auto& name : filesIn(dir / "arc")) seen |= name.rfind("~jar32-", 0) == 0;
  EXPECT_TRUE(seen);
  kill(child, SIGTERM);
  const int status = waitChild(child);
  close(notify[0]);
  close(resume[1]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kInterrupted);
  EXPECT_EQ(filesIn(dir / "arc"), std::vector<std::string>{"a.j"});
  EXPECT_EQ(readBytes(arc()), before);
}

TEST_F(Atomic, LeftoversOfDeadProcessesAreRemoved) {
  // A pid that does not run: the largest pid is far below this on Linux.
  const std::string dead = "~jar32-" + std::to_string(1 << 30) + "-0.tmp";
  const std::string alive = "~jar32-1-0.tmp";  // pid 1 always runs
  writeFile(dir / ("arc/" + dead), "partial");
  writeFile(dir / ("arc/" + alive), "someone else's");
  writeFile(dir / "arc/~jar32-notes.tmp", "not ours");
  update();
  EXPECT_EQ(filesIn(dir / "arc"), (std::vector<std::string>{"a.j", alive, "~jar32-notes.tmp"}));
}

TEST_F(Atomic, WorkFolderAndTestsBeforeCommit) {
  std::filesystem::create_directory(dir / "work");
  WriteSettings s;
  s.workFolder = dir / "work";
  s.testNewMembers = true;  // -ht0
  update(s);
  EXPECT_TRUE(filesIn(dir / "work").empty());
  EXPECT_EQ(readAll(*Archive::open(arc(), ""))["two"], sampleText(70000, 2));
  s.testNewMembers = false;
  s.testBeforeCommit = true;  // -jt
  writeFile(dir / "three", "3");
  add(arc(), {source(dir / "three", "three")}, s);
  EXPECT_TRUE(filesIn(dir / "work").empty());
  EXPECT_EQ(Archive::open(arc(), "")->members().size(), 3u);
}

}  // namespace
}  // namespace jar32::test
