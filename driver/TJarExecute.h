#pragma once
// The worker of one run: starts the archiver with its standard handles on the work files (or inside
// a terminal window), waits for it in one-second steps and posts the end-of-run event with the end
// code to the owner.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/RunEventLoop.h"

class TJarExecute {
 public:
  static constexpr const char* kConsoleTitle = "Tamber executing Jar32";
  static constexpr int32_t kHandleError = 100;  // a work file could not be opened or closed
  static constexpr int32_t kStartError = -1;    // the archiver could not be started

  // Opens the work files (unless the console is shown); the thread starts with Start().
  TJarExecute(platform::RunEventLoop& owner, const std::string& outputFileName, const std::string& inputFileName,
              const std::string& errorFileName, const std::string& startFolder, const std::string& program,
              const std::string& argument, bool showDosbox, int32_t priority);
  TJarExecute(const TJarExecute&) = delete;
  TJarExecute& operator=(const TJarExecute&) = delete;
  ~TJarExecute();

  void Start();
  // Waits until the thread has finished; may be called more than once.
  void WaitFor();
  // The end code, once the thread has finished.
  int32_t endCode() const { return endCode_; }

  // The cancel protocol: stop the archiver, continue it, or end it with a code. TerminateChild
  // returns at once; the thread then ends the archiver (killing it after the grace period) and
  // posts the end-of-run event with the code.
  void SuspendChild();
  void ResumeChild();
  void TerminateChild(int32_t code);
  bool terminateRequested() const { return process_.terminateRequested(); }

  // How long an archiver asked to end may take before it is killed.
  static inline int terminateGraceMs = 3000;
  // How long a terminal that returned at once may take to start the program.
  static constexpr int kWrapperStartMs = 10000;
  // The thread looks at the archiver once a second unless something happens.
  static constexpr int kStepMs = 1000;

 private:
  void Body();
  bool GraceOver(std::chrono::steady_clock::time_point& deadline, int& stepMs) const;
  int32_t WaitForChild();
  int32_t WaitInTerminal();
  void SignalTerminalGroup(int signal);

  platform::RunEventLoop& owner_;
  std::string outputFileName_, inputFileName_, errorFileName_;
  std::string startFolder_, program_, argument_;
  bool showDosbox_;
  int32_t priority_;
  int errorFd_ = -1, outputFd_ = -1, inputFd_ = -1;
  std::string pidFile_, exitCodeFile_;  // the terminal wrapper's, when the console is shown
  platform::ChildProcess process_;
  int32_t endCode_ = 0;
  std::thread thread_;
};
