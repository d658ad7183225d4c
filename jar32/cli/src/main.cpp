// jar32.exe: an archiver that speaks JAR32's protocol.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Program.h"

namespace {

// The heap in pages of 2 MiB where the system gives them on request: adding thousands of
// small files otherwise spends a fifth of its time in page faults. glibc reads the setting
// only as a program starts, so the program starts once more with it.
void startWithLargeHeapPages(char** argv) {
#if defined(__linux__) && defined(__GLIBC__)
  constexpr const char* kSetting = "glibc.malloc.hugetlb=1";
  const char* now = std::getenv("GLIBC_TUNABLES");
  if (now && std::strstr(now, "glibc.malloc.hugetlb")) return;  // set already, or by the user
  const std::string value = now && *now ? std::string(now) + ":" + kSetting : kSetting;
  if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) return;
  ::execv("/proc/self/exe", argv);
  // Without /proc it runs as it is.
  if (now) ::setenv("GLIBC_TUNABLES", now, 1);
  else ::unsetenv("GLIBC_TUNABLES");
#else
  (void)argv;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  startWithLargeHeapPages(argv);
  return jar32::cli::runProgram(argc, argv);
}
