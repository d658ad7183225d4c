// An update killed at any point leaves the old archive byte-identical and testing clean.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "JarRun.h"

using namespace e2e;

namespace {

class Atomic : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 40; ++i)
      writeFile(t / ("tree/d" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".bin"),
                someBytes(600000, static_cast<unsigned>(i), i % 2 == 0));
    fs::create_directories(t / "arch");
    const Result r = jar({"a", "../arch/a.j", "-r", "-m1", "*"}, t / "tree");
    ASSERT_EQ(r.code, 0) << r.err;
    original_ = readFile(t / "arch/a.j");
    // Every file changes, so the update rewrites everything.
    for (int i = 0; i < 40; i += 3)
      writeFile(t / ("tree/d" + std::to_string(i % 5) + "/f" + std::to_string(i) + ".bin"),
                someBytes(600000, static_cast<unsigned>(i + 100), true));
    const auto start = std::chrono::steady_clock::now();
    const Result probe = jar({"a", "../arch/probe.j", "-r", "-m2", "*"}, t / "tree");
    ASSERT_EQ(probe.code, 0) << probe.err;
    duration_ = std::chrono::steady_clock::now() - start;
    fs::remove(t / "arch/probe.j");
  }
  std::vector<std::string> strayFiles() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(t / "arch"))
      if (e.path().filename() != "a.j") out.push_back(e.path().filename().string());
    return out;
  }
  int interruptAfter(std::chrono::microseconds delay, int signal) {
    const pid_t pid = startJar({"a", "../arch/a.j", "-r", "-m2", "*"}, t / "tree");
    if (pid <= 0) {  // never signal a process group or everything
      ADD_FAILURE() << "cannot start jar32.exe";
      return -1;
    }
    std::this_thread::sleep_for(delay);
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  TempDir t;
  std::string original_;
  std::chrono::steady_clock::duration duration_{};
};

}  // namespace

TEST_F(Atomic, KilledAtRandomPointsTheOldArchiveSurvives) {
  std::mt19937 rng(20261208);
  const auto total = std::chrono::duration_cast<std::chrono::microseconds>(duration_).count();
  int interrupted = 0;
  for (int round = 0; round < 8; ++round) {
    const auto delay = std::chrono::microseconds(rng() % std::max<long long>(total, 1));
    const int code = interruptAfter(delay, round % 2 ? SIGTERM : SIGKILL);
    SCOPED_TRACE("round " + std::to_string(round) + " after " + std::to_string(delay.count()) + " us, end " +
                 std::to_string(code));
    const std::string now = readFile(t / "arch/a.j");
    if (now != original_) {
      // The signal came after the new archive was renamed into place: it must be complete.
      ASSERT_EQ(jar({"t", "a.j"}, t / "arch").code, 0);
      EXPECT_TRUE(code == 0 || code == 11 || code == 128 + SIGKILL) << code;
      original_ = now;
      continue;
    }
    ++interrupted;
    // SIGTERM before the handlers are in place ends the process by the signal itself.
    if (round % 2) {
      EXPECT_TRUE(code == 11 || code == 0 || code == 128 + SIGTERM) << code;
    } else {
      EXPECT_TRUE(code == 128 + SIGKILL || code == 0) << code;
    }
  }
  EXPECT_GE(interrupted, 4);
  EXPECT_EQ(jar({"t", "a.j"}, t / "arch").code, 0);
  // A later run cleans what the killed ones left.
  const Result r = jar({"a", "../arch/a.j", "-r", "-m1", "*"}, t / "tree");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
  EXPECT_EQ(jar({"t", "a.j"}, t / "arch").code, 0);
}

TEST_F(Atomic, InterruptEndsWithCodeElevenAndNoTemporaryFile) {
  const int code = interruptAfter(std::chrono::duration_cast<std::chrono::microseconds>(duration_) / 3, SIGINT);
  if (code == 0) {
    GTEST_SKIP() << "the run finished before the signal";
  }
  EXPECT_EQ(code, 11);
  EXPECT_TRUE(readFile(t / "arch/a.j") == original_);
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}
