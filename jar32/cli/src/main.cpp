// jar32.exe: an archiver that speaks JAR32's protocol.
#include "Program.h"

int main(int argc, char** argv) { return jar32::cli::runProgram(argc, argv); }
