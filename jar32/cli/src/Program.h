// The whole program: from the process's arguments to its exit code.
#pragma once

namespace jar32::cli {

int runProgram(int argc, char** argv);

}  // namespace jar32::cli
