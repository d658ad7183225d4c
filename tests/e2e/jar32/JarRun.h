// Test helper: runs the built jar32.exe and builds file trees.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

struct Result {
  int code = -1;
  std::string out, err;
};

/// The jar32.exe of this build.
std::string jarExe();

/// Runs a program with the arguments in folder cwd, standard input from /dev/null, and waits.
Result run(const std::string& program, const std::vector<std::string>& args, const fs::path& cwd);
/// Runs jar32.exe with the items as its own arguments.
Result jar(const std::vector<std::string>& args, const fs::path& cwd);
/// Writes the line to an argument file and runs jar32.exe @file (the front-end's way).
Result jarArgs(const std::string& line, const fs::path& cwd);

/// Starts jar32.exe without waiting; returns the pid (output to files in cwd's parent).
pid_t startJar(const std::vector<std::string>& args, const fs::path& cwd);

/// Waits for a child at most `seconds`; a child still running then is killed. Returns the end
/// code (128 + signal when a signal ended it), or -1 when the deadline passed.
int waitForChild(pid_t pid, int seconds = 120);

/// A jar32.exe run held at a named step of its work (the program's JAR32_TEST_PAUSE hook): the
/// test acts on the files or the process there, then lets it go on or kills it.
class HeldRun {
 public:
  HeldRun(const std::vector<std::string>& args, const fs::path& cwd, const std::string& step,
          int occurrence = 1);
  ~HeldRun();
  HeldRun(const HeldRun&) = delete;
  HeldRun& operator=(const HeldRun&) = delete;
  /// True once the run is held at the step; false when it ended without reaching it (or the
  /// deadline passed).
  bool waitUntilHeld(int seconds = 60);
  void resume();
  void signal(int sig);
  /// The largest resident size of the held program since it started, in KB.
  long peakKb() const;
  /// Waits for the end (with a deadline) and returns the code and both outputs.
  Result finish();

 private:
  pid_t pid_ = -1;
  int notify_ = -1, resume_ = -1;
  std::string out_, err_;
  bool finished_ = false;
};

/// A fresh temporary folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& rel) const { return path_ / rel; }

 private:
  fs::path path_;
};

void writeFile(const fs::path& path, const std::string& content);
std::string readFile(const fs::path& path);
/// Same names, kinds, contents, link targets and (for files) modification seconds.
/// Returns "" when equal, else the first difference.
std::string compareTrees(const fs::path& a, const fs::path& b);
/// A mixed tree: nested folders, empty files and folders, blanks, non-ASCII names, links.
void makeSampleTree(const fs::path& root);
/// Deterministic pseudo-random bytes (compressible when text is set).
std::string someBytes(size_t size, unsigned seed, bool text);

}  // namespace e2e
