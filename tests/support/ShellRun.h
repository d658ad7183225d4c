#pragma once
// A shell command run to its end with its output read: for tests that drive programs as a person
// at a terminal would.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testsupport {

// Text as one word of the shell, in single quotes.
inline std::string Quoted(const std::string& text) {
  std::string result = "'";
  for (char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

struct Outcome {
  int exitCode = -1;   // -1 when the command could not run or was ended by a signal
  std::string output;  // standard output and error
};

// Runs command line through the shell with its error output joined to the standard output.
inline Outcome RunShell(const std::string& line) {
  Outcome outcome;
  FILE* pipe = ::popen((line + " 2>&1").c_str(), "r");
  if (!pipe) return outcome;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.output.append(buffer, n);
  const int status = ::pclose(pipe);
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

}  // namespace testsupport
