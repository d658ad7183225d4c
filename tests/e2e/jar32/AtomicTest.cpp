// An update killed at any step leaves the old archive byte-identical and testing clean; killed
// after the new archive is in place, the new one is complete. The run is held at each step by
// the program's test hook, so the kill lands exactly there on any machine load.
#include <gtest/gtest.h>
#include <signal.h>

#include "JarRun.h"

using namespace e2e;

namespace {

class Atomic : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 12; ++i)
      writeFile(t / ("tree/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".bin"),
                someBytes(300000, static_cast<unsigned>(i), i % 2 == 0));
    fs::create_directories(t / "arch");
    const Result r = jar({"a", "../arch/a.j", "-r", "-m1", "*"}, t / "tree");
    ASSERT_EQ(r.code, 0) << r.err;
    original_ = readFile(t / "arch/a.j");
    // Every third file changes, so the update rewrites blocks and copies others.
    for (int i = 0; i < 12; i += 3)
      writeFile(t / ("tree/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".bin"),
                someBytes(300000, static_cast<unsigned>(i + 100), true));
  }
  std::vector<std::string> strayFiles() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(t / "arch"))
      if (e.path().filename() != "a.j") out.push_back(e.path().filename().string());
    return out;
  }
  /// Holds an update at the step, signals it there, and returns its end code.
  int killedAt(const std::string& step, int occurrence, int sig) {
    HeldRun run({"a", "../arch/a.j", "-r", "-m2", "*"}, t / "tree", step, occurrence);
    EXPECT_TRUE(run.waitUntilHeld()) << step << " #" << occurrence << " was never reached";
    run.signal(sig);
    return run.finish().code;
  }
  TempDir t;
  std::string original_;
};

}  // namespace

TEST_F(Atomic, KilledAtEveryStepBeforeTheRenameTheOldArchiveSurvives) {
  const struct {
    const char* step;
    int occurrence;
  } steps[] = {{"scanned", 1}, {"prepared", 1}, {"source", 2}, {"block", 1}, {"write", 3},
               {"block", 2},   {"directory", 1}, {"sync", 1}, {"rename", 1}};
  int round = 0;
  for (const auto& s : steps) {
    const int sig = round++ % 2 ? SIGTERM : SIGKILL;
    SCOPED_TRACE(std::string(s.step) + " #" + std::to_string(s.occurrence) + ", signal " + std::to_string(sig));
    const int code = killedAt(s.step, s.occurrence, sig);
    EXPECT_EQ(code, sig == SIGTERM ? 11 : 128 + SIGKILL);
    EXPECT_EQ(readFile(t / "arch/a.j"), original_);
    if (sig == SIGTERM) EXPECT_EQ(strayFiles(), std::vector<std::string>{});
  }
  EXPECT_EQ(jar({"t", "a.j"}, t / "arch").code, 0);
  // A later run cleans what the killed ones left.
  const Result r = jar({"a", "../arch/a.j", "-r", "-m1", "*"}, t / "tree");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
  EXPECT_EQ(jar({"t", "a.j"}, t / "arch").code, 0);
}

TEST_F(Atomic, KilledRightAfterTheRenameTheNewArchiveIsComplete) {
  EXPECT_EQ(killedAt("committed", 1, SIGKILL), 128 + SIGKILL);
  EXPECT_NE(readFile(t / "arch/a.j"), original_);
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
  const Result r = jar({"t", "a.j"}, t / "arch");
  EXPECT_EQ(r.code, 0) << r.err;
}

TEST_F(Atomic, InterruptEndsWithCodeElevenAndNoTemporaryFile) {
  EXPECT_EQ(killedAt("block", 2, SIGINT), 11);
  EXPECT_EQ(readFile(t / "arch/a.j"), original_);
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}
