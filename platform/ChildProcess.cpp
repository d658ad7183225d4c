#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform {
namespace {

int OpenPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  errno = ENOSYS;
  return -1;
#endif
}

// Nice values for the priority choices: high and realtime ask for more than normal; without the
// right to raise it the child simply runs at normal priority.
int NiceFor(int priority) {
  switch (priority) {
    case 1: return -5;
    case 2: return -10;
    default: return 0;
  }
}

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(const ChildSpec& spec, char* const argv[], int reportFd) {
  ::setpgid(0, 0);
  if (spec.inputFd >= 0) ::dup2(spec.inputFd, STDIN_FILENO);
  if (spec.outputFd >= 0) ::dup2(spec.outputFd, STDOUT_FILENO);
  if (spec.errorFd >= 0) ::dup2(spec.errorFd, STDERR_FILENO);
  if (int nice = NiceFor(spec.priority)) ::setpriority(PRIO_PROCESS, 0, nice);
  // Default signal handling for the child whatever ours is.
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  for (int sig : {SIGINT, SIGTERM, SIGPIPE, SIGCHLD}) ::sigaction(sig, &dfl, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (spec.folder.empty() || ::chdir(spec.folder.c_str()) == 0) {
#ifdef SYS_close_range
    // Nothing of ours leaks into the archiver; reportFd closes itself on exec.
    const unsigned report = static_cast<unsigned>(reportFd);
    if (report > 3) ::syscall(SYS_close_range, 3u, report - 1, 0u);
    ::syscall(SYS_close_range, report + 1, ~0u, 0u);
#endif
    ::execv(spec.program.c_str(), argv);
  }
  int err = errno;
  ssize_t ignored = ::write(reportFd, &err, sizeof err);
  (void)ignored;
  ::_exit(127);
}

enum PollResult { kFailed = -1, kTimeout, kReady, kWoken };

// Polls fd (when >= 0) and the wake descriptor; a wake-up is taken off the descriptor.
PollResult PollWithWake(int fd, int wakeFd, int timeoutMs) {
  pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
  pollfd* first = fd >= 0 ? p : p + 1;
  const int r = ::poll(first, fd >= 0 ? 2 : 1, timeoutMs);
  if (r < 0) return errno == EINTR ? kTimeout : kFailed;
  if (fd >= 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR))) return kReady;
  if (p[1].revents & POLLIN) {
    uint64_t count;
    ssize_t ignored = ::read(wakeFd, &count, sizeof count);
    (void)ignored;
    return kWoken;
  }
  return kTimeout;
}

}  // namespace

int EndCodeOfSignal(int signal) { return signal == SIGINT ? 11 : 10; }

ChildProcess::ChildProcess() : wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ChildProcess::~ChildProcess() {
  if (wakeFd_ >= 0) ::close(wakeFd_);
  if (pidfd_ >= 0) ::close(pidfd_);
  // A child nobody waited for is reaped when it ends; never leave a zombie behind.
  if (pid_ > 0 && !reaped_) {
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

bool ChildProcess::Start(const ChildSpec& spec, std::string& reason) {
  std::vector<std::string> args;
  args.push_back(spec.program);
  args.insert(args.end(), spec.arguments.begin(), spec.arguments.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The child reports a failed exec through this pipe; a successful exec closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  pid_t pid = ::fork();
  if (pid < 0) {
    reason = std::strerror(errno);
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (pid == 0) {
    ::close(report[0]);
    ExecChild(spec, argv.data(), report[1]);
  }
  ::close(report[1]);
  ::setpgid(pid, pid);  // also from here, so the group exists before we signal it
  int childErrno = 0;
  ssize_t n;
  do n = ::read(report[0], &childErrno, sizeof childErrno);
  while (n < 0 && errno == EINTR);
  ::close(report[0]);
  pid_ = pid;
  if (n > 0) {
    ::waitpid(pid, nullptr, 0);
    reaped_ = true;
    reason = std::strerror(childErrno);
    return false;
  }
  pidfd_ = OpenPidfd(pid);
  if (terminateRequested()) Terminate(terminateCode_);  // asked to end before it had started
  return true;
}

ChildProcess::WaitStatus ChildProcess::Wait(int timeoutMs) {
  if (pid_ <= 0) return WaitStatus::Failed;
  if (!reaped_) {
    if (pidfd_ >= 0) {
      const PollResult r = PollWithWake(pidfd_, wakeFd_, timeoutMs);
      if (r == kFailed) return WaitStatus::Failed;
      if (r != kReady) return WaitStatus::Timeout;
    }
    int status = 0;
    pid_t got;
    if (pidfd_ >= 0) {
      do got = ::waitpid(pid_, &status, 0);
      while (got < 0 && errno == EINTR);
    } else {
      // No pidfd on this kernel: look every 50 ms.
      auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      while ((got = ::waitpid(pid_, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() >= deadline || Pause(50)) return WaitStatus::Timeout;
      }
    }
    if (got != pid_) return WaitStatus::Failed;
    reaped_ = true;
    if (WIFEXITED(status))
      exitCode_ = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
      exitCode_ = EndCodeOfSignal(WTERMSIG(status));
  }
  if (terminateCode_ >= 0) exitCode_ = terminateCode_;
  return WaitStatus::Exited;
}

ChildProcess::WaitStatus ChildProcess::WaitForOther(pid_t pid, int timeoutMs) {
  if (pid <= 1) return WaitStatus::Failed;
  const int fd = OpenPidfd(pid);
  if (fd < 0) {
    if (errno == ESRCH) return WaitStatus::Exited;
    // No pidfd on this kernel: look every 50 ms.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::kill(pid, 0) == 0 || errno == EPERM) {
      if (std::chrono::steady_clock::now() >= deadline || Pause(50)) return WaitStatus::Timeout;
    }
    return WaitStatus::Exited;
  }
  const PollResult r = PollWithWake(fd, wakeFd_, timeoutMs);
  ::close(fd);
  return r == kReady ? WaitStatus::Exited : r == kFailed ? WaitStatus::Failed : WaitStatus::Timeout;
}

bool ChildProcess::Pause(int timeoutMs) { return PollWithWake(-1, wakeFd_, timeoutMs) == kWoken; }

void ChildProcess::Suspend() {
  if (pid_ > 0 && !reaped_) ::kill(-pid_, SIGSTOP);
}

void ChildProcess::Resume() {
  if (pid_ > 0 && !reaped_) ::kill(-pid_, SIGCONT);
}

void ChildProcess::Terminate(int code) {
  terminateCode_ = code;
  if (pid_ > 0 && !reaped_) {
    ::kill(-pid_, SIGTERM);
    ::kill(-pid_, SIGCONT);  // a stopped process only sees the request once continued
  }
  const uint64_t one = 1;
  ssize_t ignored = ::write(wakeFd_, &one, sizeof one);  // the waiting thread starts the grace period now
  (void)ignored;
}

void ChildProcess::KillNow() {
  if (pid_ > 0 && !reaped_) ::kill(-pid_, SIGKILL);
}

}  // namespace platform
