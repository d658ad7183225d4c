// Exit codes and the one exception type of the archive engine.
#pragma once

#include <stdexcept>
#include <string>

namespace jar32 {

/// Process exit codes of jar32.exe.
enum ExitCode : int {
  kOk = 0,
  kWarning = 1,      // e.g. a file skipped
  kFatal = 2,        // includes "ERROR #174" (password needed) and "ERROR #168" (wrong password)
  kCrcError = 3,     // damaged data, failed authentication
  kWriteError = 5,   // disk full, write error
  kOpenError = 6,    // cannot open a file
  kBadParams = 7,    // bad parameters (e.g. comment longer than 4096 bytes)
  kNoMemory = 8,
  kNotJar = 9,       // not a JAR archive
  kInternal = 10,
  kInterrupted = 11,
};

/// Every failure of the engine. what() is the text standard error shows (one line, no newline).
/// Nothing is ever changed on disk when a change function throws.
struct JarError : std::runtime_error {
  JarError(int code, const std::string& message) : std::runtime_error(message), exitCode(code) {}
  int exitCode;
};

/// Exact texts for the password errors (short: the GUI reads a small error file).
inline constexpr const char* kMsgPasswordNeeded = "ERROR #174: password required";
inline constexpr const char* kMsgWrongPassword = "ERROR #168: wrong password";

}  // namespace jar32
