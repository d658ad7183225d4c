// Messages to standard error and the run's exit code. Warnings are held back until the end so
// that a password failure can leave standard error holding nothing but its short marker line.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace jar32::cli {

class Reporter {
 public:
  explicit Reporter(std::FILE* stream = stderr) : stream_(stream) {}

  /// Something was skipped or ignored: the run ends with exit code 1 at least.
  void warning(const std::string& text);
  /// A failure found while the run could still finish its work (e.g. damage): held back like a
  /// warning; the exit code becomes at least code.
  void problem(int code, const std::string& text);
  /// Raises the exit code to at least code.
  void raise(int code) { code_ = std::max(code_, code); }
  int code() const { return code_; }

  /// Ends the run with a failure: everything held back is printed, then the message.
  /// A password failure ("ERROR #174" / "ERROR #168") prints only its own line.
  int fail(int code, const std::string& message);
  /// Ends the run normally: prints what was held back; returns the exit code.
  int finish();

  const std::vector<std::string>& held() const { return held_; }

 private:
  void emit(const std::string& line);
  std::FILE* stream_;
  std::vector<std::string> held_;
  size_t heldBytes_ = 0;
  bool streaming_ = false;
  int code_ = 0;
};

}  // namespace jar32::cli
