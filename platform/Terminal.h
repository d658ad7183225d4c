#pragma once
// Running a program inside a terminal window, for runs the user wants to watch and answer.

#include <string>
#include <vector>

#include "platform/ChildProcess.h"

namespace platform {

// The terminal program: the first of $TERMINAL, x-terminal-emulator and xterm that can be found;
// "" when there is none.
std::string FindTerminal();

// A child that opens a terminal titled `title` running program with arguments. The terminal is given
// `-T title -e command...`. A small shell wrapper inside writes its process id to pidFile when it
// starts and the program's exit code to exitCodeFile when the program ends, so the run can wait for
// the program itself even when the terminal program returns at once.
ChildSpec InTerminal(const std::string& terminal, const std::string& title, const std::string& program,
                     const std::vector<std::string>& arguments, const std::string& pidFile,
                     const std::string& exitCodeFile);

// The end code for the exit status the wrapper's shell recorded: a status above 128 is the shell's
// way of saying that a signal ended the program (EndCodeOfSignal); any other is the program's own.
int EndCodeOfShellStatus(int status);

}  // namespace platform
