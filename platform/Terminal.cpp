#include "platform/Terminal.h"

#include <cstdlib>

#include "platform/Files.h"

namespace platform {

std::string FindTerminal() {
  if (const char* terminal = std::getenv("TERMINAL"); terminal && *terminal) {
    std::string found = FindProgram(terminal);
    if (!found.empty()) return found;
  }
  for (const char* name : {"x-terminal-emulator", "xterm"}) {
    std::string found = FindProgram(name);
    if (!found.empty()) return found;
  }
  return "";
}

ChildSpec InTerminal(const std::string& terminal, const std::string& title, const std::string& program,
                     const std::vector<std::string>& arguments, const std::string& pidFile,
                     const std::string& exitCodeFile) {
  // $0 is the exit-code file, $1 the pid file, the rest the program and its arguments.
  static const char* const kWrapper = "echo $$ > \"$1\"; shift; \"$@\"; echo $? > \"$0\"";
  ChildSpec spec;
  spec.program = terminal;
  spec.arguments = {"-T", title, "-e", "/bin/sh", "-c", kWrapper, exitCodeFile, pidFile, program};
  spec.arguments.insert(spec.arguments.end(), arguments.begin(), arguments.end());
  return spec;
}

int EndCodeOfShellStatus(int status) {
  if (status > 128 && status < 128 + 65) return EndCodeOfSignal(status - 128);
  return status;
}

}  // namespace platform
