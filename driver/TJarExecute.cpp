#include "driver/TJarExecute.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/Files.h"
#include "platform/Terminal.h"

namespace {

int OpenWorkFile(const std::string& name) {
  return ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

bool ReadNumber(const std::string& file, long& number) {
  std::string text;
  if (!platform::ReadWholeFile(file, text) || text.empty()) return false;
  char* end = nullptr;
  number = std::strtol(text.c_str(), &end, 10);
  return end != text.c_str();
}

}  // namespace

TJarExecute::TJarExecute(platform::RunEventLoop& owner, const std::string& outputFileName,
                         const std::string& inputFileName, const std::string& errorFileName,
                         const std::string& startFolder, const std::string& program, const std::string& argument,
                         bool showDosbox, int32_t priority)
    : owner_(owner),
      outputFileName_(outputFileName),
      inputFileName_(inputFileName),
      errorFileName_(errorFileName),
      startFolder_(startFolder),
      program_(program),
      argument_(argument),
      showDosbox_(showDosbox),
      priority_(priority) {
  if (!showDosbox_) {
    errorFd_ = OpenWorkFile(errorFileName_);
    outputFd_ = OpenWorkFile(outputFileName_);
    inputFd_ = OpenWorkFile(inputFileName_);
    if (errorFd_ < 0 || outputFd_ < 0 || inputFd_ < 0) endCode_ = kHandleError;
  } else {
    // The wrapper's two small files sit beside the run's other work files.
    pidFile_ = errorFileName_ + ".pid";
    exitCodeFile_ = errorFileName_ + ".code";
  }
}

TJarExecute::~TJarExecute() {
  WaitFor();
  for (int fd : {errorFd_, outputFd_, inputFd_})
    if (fd >= 0) ::close(fd);
  if (showDosbox_) {
    platform::DeleteFileQuietly(pidFile_);
    platform::DeleteFileQuietly(exitCodeFile_);
  }
}

void TJarExecute::Start() { thread_ = std::thread([this] { Body(); }); }

void TJarExecute::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TJarExecute::Body() {
  if (endCode_ != kHandleError) {
    platform::ChildSpec spec;
    if (showDosbox_) {
      platform::DeleteFileQuietly(pidFile_);
      platform::DeleteFileQuietly(exitCodeFile_);
      std::string terminal = platform::FindTerminal();
      spec = platform::InTerminal(terminal, kConsoleTitle, program_, {argument_}, pidFile_, exitCodeFile_);
    } else {
      spec.program = program_;
      spec.arguments = {argument_};
      spec.inputFd = inputFd_;
      spec.outputFd = outputFd_;
      spec.errorFd = errorFd_;
    }
    spec.folder = startFolder_;
    spec.priority = priority_;
    std::string reason;
    if (spec.program.empty() || !process_.Start(spec, reason))
      endCode_ = kStartError;
    else
      endCode_ = showDosbox_ ? WaitInTerminal() : WaitForChild();
  }
  if (!showDosbox_) {
    for (int* fd : {&errorFd_, &outputFd_, &inputFd_}) {
      if (*fd >= 0 && ::close(*fd) != 0) endCode_ = kHandleError;
      *fd = -1;
    }
  }
  owner_.PostRunEnded(endCode_);
}

// True once the archiver was asked to end and the grace period since then has passed; the first
// call after the request starts the period. stepMs is cut short to end with the period.
bool TJarExecute::GraceOver(std::chrono::steady_clock::time_point& deadline, int& stepMs) const {
  if (!process_.terminateRequested()) return false;
  const auto now = std::chrono::steady_clock::now();
  if (deadline == std::chrono::steady_clock::time_point::max())
    deadline = now + std::chrono::milliseconds(terminateGraceMs);
  if (now >= deadline) return true;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  stepMs = static_cast<int>(std::min<int64_t>(stepMs, left));
  return false;
}

// One-second steps until the child ends; a child asked to end gets a grace period, then is killed.
// The request itself wakes the wait, so the period starts at once.
int32_t TJarExecute::WaitForChild() {
  auto terminateDeadline = std::chrono::steady_clock::time_point::max();
  for (;;) {
    int step = kStepMs;
    if (GraceOver(terminateDeadline, step)) process_.KillNow();
    switch (process_.Wait(step)) {
      case platform::ChildProcess::WaitStatus::Exited:
        return process_.exitCode();
      case platform::ChildProcess::WaitStatus::Failed:
        // The wait itself failed: end the child and report the handle error.
        process_.KillNow();
        return kHandleError;
      case platform::ChildProcess::WaitStatus::Timeout:
        break;
    }
  }
}

// The terminal may return at once (it hands the window to a server) or with the program: either
// way the run ends when the wrapper has written the program's exit code or is gone.
int32_t TJarExecute::WaitInTerminal() {
  const int32_t terminalCode = WaitForChild();
  long wrapper = 0, code = 0;
  // A terminal that handed the window over and ended well: the wrapper may not have started yet.
  if (terminalCode == 0 && !process_.terminateRequested()) {
    for (int waited = 0; waited < kWrapperStartMs && !ReadNumber(pidFile_, wrapper); waited += kStepMs)
      if (process_.Pause(kStepMs)) break;
  }
  if (ReadNumber(pidFile_, wrapper)) {
    auto terminateDeadline = std::chrono::steady_clock::time_point::max();
    while (!ReadNumber(exitCodeFile_, code)) {
      int step = kStepMs;
      if (GraceOver(terminateDeadline, step)) SignalTerminalGroup(SIGKILL);
      if (process_.WaitForOther(static_cast<pid_t>(wrapper), step) != platform::ChildProcess::WaitStatus::Timeout)
        break;
    }
  }
  if (process_.terminateRequested()) return process_.terminateCode();
  if (ReadNumber(exitCodeFile_, code)) return platform::EndCodeOfShellStatus(static_cast<int>(code));
  if (wrapper > 0) return 11;  // the window was closed while the program ran
  return kStartError;          // the terminal never ran the program
}

// The program in the terminal runs in the wrapper's process group, apart from the terminal's.
void TJarExecute::SignalTerminalGroup(int signal) {
  long wrapper = 0;
  if (!showDosbox_ || !ReadNumber(pidFile_, wrapper) || wrapper <= 1) return;
  pid_t group = ::getpgid(static_cast<pid_t>(wrapper));
  if (group > 1 && group != ::getpgrp()) ::kill(-group, signal);
}

void TJarExecute::SuspendChild() {
  process_.Suspend();
  SignalTerminalGroup(SIGSTOP);
}

void TJarExecute::ResumeChild() {
  process_.Resume();
  SignalTerminalGroup(SIGCONT);
}

void TJarExecute::TerminateChild(int32_t code) {
  process_.Terminate(code);
  SignalTerminalGroup(SIGTERM);
  SignalTerminalGroup(SIGCONT);
}
