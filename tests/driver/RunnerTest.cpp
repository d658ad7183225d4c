#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "tests/driver/JarTestFixture.h"

using platform::BoxKind;
using platform::ButtonNo;
using platform::ButtonYes;
using testsupport::PlainBox;

namespace {

// A named pipe the fake archiver signals on ("signal PATH") or waits at ("wait PATH"). Held open for
// reading and writing here, so the archiver's open never blocks.
class Pipe {
 public:
  explicit Pipe(std::string path) : path_(std::move(path)) {
    if (::mkfifo(path_.c_str(), 0600) == 0) fd_ = ::open(path_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd_, 0) << path_;
  }
  ~Pipe() {
    if (fd_ >= 0) ::close(fd_);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;
  const std::string& path() const { return path_; }
  // Waits for the archiver's byte; false when none came within the deadline.
  bool AwaitByte(int deadlineMs = 20000) {
    pollfd p{fd_, POLLIN, 0};
    char byte;
    return ::poll(&p, 1, deadlineMs) == 1 && ::read(fd_, &byte, 1) == 1;
  }
  // Lets an archiver waiting here go on.
  void Release() { EXPECT_EQ(::write(fd_, "!", 1), 1); }

 private:
  std::string path_;
  int fd_ = -1;
};

std::string WriteFakeTerminal(const std::string& folder, bool returnsAtOnce);

class RunnerTest : public JarTest {
 protected:
  RunnerTest() {
    jar.dialogs = &dialogs;
    TJarExecute::terminateGraceMs = 300;
  }

  // Runs the fake archiver with a script of words, the way Run does after writing the work files.
  bool ExecuteScript(const std::string& script) {
    jar.errorFile = jar.MakeTempFileName("ErrorFile");
    jar.outputFile = jar.MakeTempFileName("OutputFile");
    jar.inputFile = jar.MakeTempFileName("InputFile");
    jar.argumentsFile = jar.MakeTempFileName("ArgumentsFile");
    jar.WriteTextFile(jar.argumentsFile, script);
    return jar.Execute({settings.theJar32Exe, "@" + jar.argumentsFile});
  }

  // Once the archiver has signalled on `ready`, runs `act` (by default the owner's cancel command)
  // from the event loop the run waits in.
  std::thread WhenSignalled(Pipe& ready, std::function<void()> act = {}) {
    if (!act) act = [this] { jar.CancelRun(); };
    return std::thread([this, &ready, act] {
      EXPECT_TRUE(ready.AwaitByte()) << "the archiver never signalled";
      loop.Post(act);
    });
  }

  FakeJarDialogs dialogs;
  Pipe ready{temp.path() + "/ready"};
  Pipe go{temp.path() + "/go"};
};

}  // namespace

TEST_F(RunnerTest, OutputAndErrorsGoToTheWorkFiles) {
  EXPECT_TRUE(ExecuteScript("out hello err oops out world exit 0"));
  EXPECT_EQ(jar.ReadWholeFile(jar.outputFile), "hello\nworld\n");
  EXPECT_EQ(jar.ReadWholeFile(jar.errorFile), "oops\n");
  EXPECT_EQ(jar.exitCode, 0);
  EXPECT_FALSE(jar.running);
  EXPECT_EQ(jar.executeThread, nullptr);
}

TEST_F(RunnerTest, StartsInTheWorkingFolder) {
  ExecuteScript("pwd");
  EXPECT_EQ(jar.ReadWholeFile(jar.outputFile), temp.path() + "\n");
  EXPECT_EQ(jar.workingFolder, jar.tempFolder);
  const std::string source = temp.path() + "/source";
  std::filesystem::create_directory(source);
  jar.sourceFolder = source;
  jar.fromCurrentFolder = true;
  ExecuteScript("pwd");
  EXPECT_EQ(jar.ReadWholeFile(jar.outputFile), source + "\n");
}

TEST_F(RunnerTest, PriorityNeverFailsTheRun) {
  const int ours = getpriority(PRIO_PROCESS, 0);
  for (int priority : {0, 1, 2, 7}) {
    settings.jar32Priority = priority;
    EXPECT_TRUE(ExecuteScript("nice")) << priority;
    const int niceness = std::stoi(jar.ReadWholeFile(jar.outputFile));
    if (priority == 0 || priority == 7)
      EXPECT_EQ(niceness, ours);
    else
      EXPECT_LE(niceness, ours);  // raised where our rights allow, else unchanged
  }
}

TEST_F(RunnerTest, EndCodesAreJudged) {
  // Code, verdict, and the box it brings with the console hidden (answered No).
  EXPECT_TRUE(ExecuteScript("exit 4"));
  EXPECT_TRUE(ExecuteScript("exit 12"));
  EXPECT_TRUE(ExecuteScript("exit 50"));
  prompter.expect(BoxKind::Error, "Disk full or write error");
  EXPECT_FALSE(ExecuteScript("exit 5"));
  prompter.expect(BoxKind::Error, "Cannot open file!\nDo you want to see the Jar32 output ?", ButtonNo, ButtonYes | ButtonNo);
  EXPECT_FALSE(ExecuteScript("exit 6"));
  EXPECT_EQ(jar.exitCode, 6);
}

TEST_F(RunnerTest, MissingProgramStartsNothing) {
  settings.theJar32Exe = temp.path() + "/jar32.exe";
  prompter.expect(BoxKind::Error, temp.path() + "/jar32.exe does not exist, no jar32 executable");
  EXPECT_FALSE(ExecuteScript("exit 0"));
  EXPECT_FALSE(jar.running);
}

TEST_F(RunnerTest, MissingProgramThroughRunStillEndsTheRun) {
  settings.theJar32Exe = "no-such-jar32.exe";
  std::vector<std::string> events;
  jar.onRunStart = [&](TJar&) { events.push_back("start"); };
  jar.onRunEnd = [&](TJar&) { events.push_back("end"); };
  prompter.expect(BoxKind::Error, "no-such-jar32.exe does not exist, no jar32 executable");
  try {
    jar.Run(opTest);
  } catch (const JarFailure&) {
    ADD_FAILURE() << "a failed test run has been reported already";
  }
  EXPECT_EQ(events, (std::vector<std::string>{"start", "end"}));
}

TEST_F(RunnerTest, OwnerAndWorkFilesAreChecked) {
  jar.SetOwner(nullptr);
  prompter.expect(BoxKind::Error, "Owner of a TJar component must be a TForm");
  EXPECT_FALSE(ExecuteScript("exit 0"));
  EXPECT_FALSE(jar.running);

  jar.SetOwner(&loop);
  jar.errorFile = jar.MakeTempFileName("ErrorFile");
  jar.outputFile = temp.path() + "/gone";
  jar.inputFile = jar.MakeTempFileName("InputFile");
  prompter.expect(BoxKind::Error, "Error with temporary files");
  EXPECT_FALSE(jar.Execute({kFakeArchiver, "@/dev/null"}));
}

TEST_F(RunnerTest, ProgramThatCannotRunEndsWithMinusOne) {
  const std::string notAProgram = temp.path() + "/jar32.exe";
  jar.WriteTextFile(notAProgram, "not a program");  // exists, cannot be executed
  settings.theJar32Exe = notAProgram;
  prompter.expect(BoxKind::Error, "Error\nVery informative error ;-)");
  EXPECT_FALSE(ExecuteScript("exit 0"));
  EXPECT_EQ(jar.exitCode, -1);
}

TEST_F(RunnerTest, AnEndEventOutsideARunIsIgnored) {
  jar.exitCode = 0;
  jar.RunFinished(7);
  loop.PostRunEnded(9);
  loop.ProcessNextEvent();
  EXPECT_EQ(jar.exitCode, 0);
  EXPECT_FALSE(jar.running);
}

TEST_F(RunnerTest, CancelAnsweredYesTerminates) {
  prompter.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes, ButtonYes | ButtonNo);
  prompter.expect(BoxKind::Error, "Operation terminated");
  std::thread canceller = WhenSignalled(ready);
  EXPECT_FALSE(ExecuteScript("signal " + ready.path() + " wait " + go.path() + " exit 0"));
  canceller.join();
  EXPECT_EQ(jar.exitCode, 13);
}

TEST_F(RunnerTest, CancelOfAnArchiverThatIgnoresTheRequestKillsItAfterTheGrace) {
  prompter.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes);
  prompter.expect(BoxKind::Error, "Operation terminated");
  std::thread canceller = WhenSignalled(ready);
  EXPECT_FALSE(ExecuteScript("ignore-term signal " + ready.path() + " wait " + go.path() + " exit 0"));
  canceller.join();
  EXPECT_EQ(jar.exitCode, 13);
}

TEST_F(RunnerTest, CancelReturnsWhileTheArchiverIsStillEnding) {
  // An archiver that takes its time over the request: the window goes on with its events meanwhile,
  // and the end-of-run event finishes the run with 13.
  TJarExecute::terminateGraceMs = 30000;
  prompter.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes);
  prompter.expect(BoxKind::Error, "Operation terminated");
  std::thread canceller = WhenSignalled(ready, [this] {
    jar.CancelRun();
    go.Release();  // the archiver ends by itself now; it could not have while the cancel waited for it
  });
  EXPECT_FALSE(ExecuteScript("ignore-term signal " + ready.path() + " wait " + go.path() + " out done exit 0"));
  canceller.join();
  EXPECT_EQ(jar.ReadWholeFile(jar.outputFile), "done\n");
  EXPECT_EQ(jar.exitCode, 13);
}

TEST_F(RunnerTest, CancelAnsweredNoLetsTheRunFinish) {
  prompter.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonNo);
  std::thread canceller = WhenSignalled(ready, [this] {
    jar.CancelRun();
    go.Release();
  });
  EXPECT_TRUE(ExecuteScript("signal " + ready.path() + " wait " + go.path() + " out done exit 0"));
  canceller.join();
  EXPECT_EQ(jar.exitCode, 0);
  EXPECT_EQ(jar.ReadWholeFile(jar.outputFile), "done\n");
}

TEST_F(RunnerTest, SecondCancelWhileTheArchiverEndsAsksNothing) {
  TJarExecute::terminateGraceMs = 30000;
  prompter.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes);
  prompter.expect(BoxKind::Error, "Operation terminated");
  std::thread canceller = WhenSignalled(ready, [this] {
    jar.CancelRun();
    jar.CancelRun();  // the archiver is still running: no second question
    go.Release();
  });
  EXPECT_FALSE(ExecuteScript("ignore-term signal " + ready.path() + " wait " + go.path() + " exit 0"));
  canceller.join();
  EXPECT_EQ(jar.exitCode, 13);
}

TEST_F(RunnerTest, ArchiverKilledByASignalIsAFailureWithTheConsoleShownOrHidden) {
  ScopedEnv terminal("TERMINAL", WriteFakeTerminal(temp.path(), false));
  for (bool shown : {false, true}) {
    SCOPED_TRACE(shown ? "console shown" : "console hidden");
    settings.showDosbox = shown;
    prompter.expect(BoxKind::Error, "Internal error !");
    EXPECT_FALSE(ExecuteScript("die KILL"));
    EXPECT_EQ(jar.exitCode, 10);
    prompter.expect(BoxKind::Error, "Ctrl-C Pressed");
    EXPECT_FALSE(ExecuteScript("die INT"));
    EXPECT_EQ(jar.exitCode, 11);
  }
}

TEST_F(RunnerTest, AnArgumentFileWithAPasswordIsWipedWhenTheArchiverEnds) {
  settings.password = "secret12";
  jar.usePassword = true;
  jar.archiveName = temp.path() + "/a.j";
  prompter.expect(BoxKind::Information, "No errors detected !");
  jar.Run(opTest);  // the fake archiver ignores the real argument line and ends with 0
  EXPECT_FALSE(platform::PathExists(jar.argumentsFile));
  jar.usePassword = false;
  prompter.expect(BoxKind::Information, "No errors detected !");
  jar.Run(opTest);
  EXPECT_TRUE(platform::FileExists(jar.argumentsFile));  // nothing secret: kept for the next run to delete
}

namespace {

// A terminal program for the tests: records its arguments, then runs what follows "-e", either
// itself (like xterm) or handed off in the background while it returns at once (like a launcher
// that asks a terminal server for the window).
std::string WriteFakeTerminal(const std::string& folder, bool returnsAtOnce) {
  const std::string path = folder + (returnsAtOnce ? "/launcher" : "/terminal");
  std::string script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + folder + "/terminal-args\"\n"
                       "while [ \"$1\" != -e ]; do shift; done\nshift\n";
  script += returnsAtOnce ? "\"$@\" </dev/null >/dev/null 2>&1 &\nexit 0\n" : "exec \"$@\"\n";
  platform::WriteWholeFile(path, script);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

}  // namespace

TEST_F(RunnerTest, ShownConsoleRunsInATitledTerminalWithoutRedirection) {
  settings.showDosbox = true;
  ScopedEnv terminal("TERMINAL", WriteFakeTerminal(temp.path(), false));
  prompter.expect(BoxKind::Error, "CRC error!");
  EXPECT_FALSE(ExecuteScript("out hello err oops exit 3"));
  EXPECT_EQ(jar.exitCode, 3);
  EXPECT_EQ(jar.ReadWholeFile(jar.outputFile), "");
  EXPECT_EQ(jar.ReadWholeFile(jar.errorFile), "");
  EXPECT_THAT(jar.ReadWholeFile(temp.path() + "/terminal-args"),
              ::testing::StartsWith("-T\nTamber executing Jar32\n-e\n"));
}

TEST_F(RunnerTest, ShownConsoleWaitsForTheArchiverNotForTheTerminal) {
  settings.showDosbox = true;
  ScopedEnv terminal("TERMINAL", WriteFakeTerminal(temp.path(), true));
  prompter.expect(BoxKind::Error, "Disk full or write error");
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(ExecuteScript("sleep 700 exit 5"));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(650));
  EXPECT_EQ(jar.exitCode, 5);
}

TEST_F(RunnerTest, ShownConsoleCanBeCancelled) {
  settings.showDosbox = true;
  ScopedEnv terminal("TERMINAL", WriteFakeTerminal(temp.path(), true));
  prompter.expect(BoxKind::Confirmation, "Do you want to terminate operation ?", ButtonYes);
  prompter.expect(BoxKind::Error, "Operation terminated");
  std::thread canceller = WhenSignalled(ready);
  EXPECT_FALSE(ExecuteScript("signal " + ready.path() + " wait " + go.path() + " exit 0"));
  canceller.join();
  EXPECT_EQ(jar.exitCode, 13);
}

TEST_F(RunnerTest, AFailedRunsBoxHoldsItsDetailsWithoutThePassword) {
  settings.password = "s3cret";
  settings.showDosbox = false;
  prompter.expect(BoxKind::Error, "Disk full or write error");
  EXPECT_FALSE(ExecuteScript("a \"x.j\" -g\"s3cret\" -b- out listed err no-room-s3cret exit 5"));
  ASSERT_EQ(prompter.calls().size(), 1u);
  const std::string& details = prompter.calls().back().details;
  EXPECT_EQ(details.find("s3cret"), std::string::npos) << details;
  EXPECT_NE(details.find("Command: " + settings.theJar32Exe + " @" + jar.argumentsFile), std::string::npos) << details;
  EXPECT_NE(details.find("-g\"***\""), std::string::npos) << details;
  EXPECT_NE(details.find("Exit code: 5 (disk full or write error)"), std::string::npos) << details;
  EXPECT_NE(details.find("no-room-***"), std::string::npos) << details;
  EXPECT_NE(details.find("Output:\nlisted\n"), std::string::npos) << details;
}
