#pragma once
// A child process in its own process group: started with redirected standard handles, a current
// folder and a priority; waited for in steps; stopped, continued and terminated as a group.

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ChildSpec {
  std::string program;                 // full path
  std::vector<std::string> arguments;  // without the program itself
  std::string folder;                  // current folder; "" keeps ours
  // Descriptors for standard input, output and error; -1 inherits ours.
  int inputFd = -1, outputFd = -1, errorFd = -1;
  int priority = 0;                    // 0 normal, 1 high, 2 realtime (as far as our rights allow)
};

class ChildProcess {
 public:
  enum class WaitStatus { Exited, Timeout, Failed };

  ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts the child; false with a reason when it could not be started (the program could not be
  // executed, or fork failed).
  bool Start(const ChildSpec& spec, std::string& reason);
  pid_t pid() const { return pid_.load(); }
  bool started() const { return pid_.load() > 0; }

  // Waits up to timeoutMs for the child to end; a call to Terminate ends the wait early (Timeout).
  // After Exited, exitCode() holds its code: its own exit status; the code given to Terminate when we
  // ended it; for a death by a signal, EndCodeOfSignal.
  WaitStatus Wait(int timeoutMs);
  int exitCode() const { return exitCode_; }
  // The same wait for a process that is not our child (Exited once it is gone; no exit code).
  WaitStatus WaitForOther(pid_t pid, int timeoutMs);
  // Waits up to timeoutMs or until Terminate is called (true).
  bool Pause(int timeoutMs);

  // Stop and continue the whole process group.
  void Suspend();
  void Resume();
  // Asks the group to end (SIGTERM, continued if stopped); Wait then reports code. KillNow ends it
  // for certain (SIGKILL), for a group that ignored the request.
  // From any thread.
  void Terminate(int code);
  void KillNow();
  bool terminateRequested() const { return terminateCode_.load() >= 0; }
  int terminateCode() const { return terminateCode_.load(); }

 private:
  std::atomic<pid_t> pid_{0};
  int pidfd_ = -1;
  int exitCode_ = 0;
  std::atomic<bool> reaped_{false};
  std::atomic<int> terminateCode_{-1};
  int wakeFd_ = -1;  // readable once Terminate was called
};

// The end code of an archiver killed by a signal: 11 for an interrupt, 10 for any other.
int EndCodeOfSignal(int signal);

}  // namespace platform
