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
