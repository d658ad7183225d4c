// Prints what a program placed here finds as Tamber does: the archiver, its jar.cfg and the help
// page, one "name=path" line each ("" when not found).
#include <cstdio>
#include <string>

#include "config/TConfig.h"
#include "platform/Files.h"
#include "platform/Paths.h"

int main() {
  const std::string archiver = platform::FindProgram("jar32.exe");
  const std::string config = archiver.empty() ? "" : platform::FolderPart(archiver) + "jar.cfg";
  const std::string help = platform::JoinPath(ProgramFolderOf(platform::RunningProgramPath()), "html/main.htm");
  std::printf("archiver=%s\n", archiver.c_str());
  std::printf("config=%s\n", platform::FileExists(config) ? config.c_str() : "");
  std::printf("help=%s\n", platform::FileExists(help) ? help.c_str() : "");
  return 0;
}
