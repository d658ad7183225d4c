// libFuzzer target: the archive reader. Any input must end in a listing, member data or a
// JarError with exit code 2, 3 or 9: never a crash, a hang or unbounded memory. Inputs are also
// given to the header recovery (rh), which scans for blocks and writes a new archive.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "jar32/Archive.h"
#include "jar32/Changes.h"

using namespace jar32;

namespace {

// The seeds' protected archives use this password (see make_fuzz_seeds.cpp).
const char* kPassword = "fuzz-password";

std::string workFolder() {
  static std::string folder = [] {
    std::string f = "/dev/shm/jar32-fuzz-" + std::to_string(getpid());
    mkdir(f.c_str(), 0700);
    return f;
  }();
  return folder;
}

struct Sink : MemberVisitor {
  uint64_t bytes = 0;
  bool begin(size_t, const MemberInfo&) override { return true; }
  void data(const uint8_t*, size_t n) override { bytes += n; }
  void end(size_t, const MemberInfo&, MemberStatus) override {}
};

void check(const JarError& e) {
  if (e.exitCode != kFatal && e.exitCode != kCrcError && e.exitCode != kNotJar) {
    std::fprintf(stderr, "unexpected exit code %d: %s\n", e.exitCode, e.what());
    std::abort();
  }
}

void readArchive(const std::string& path, const std::string& password) {
  try {
    auto a = Archive::open(path, password);
    uint64_t total = 0;
    for (const auto& m : a->members()) total += m.name.size() + m.size;
    (void)total;
    std::vector<size_t> all(a->members().size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    Sink sink;
    a->read(all, sink, true);
    a->test(nullptr);
  } catch (const JarError& e) {
    check(e);
  }
  // As l and x open it: the records outside the last chapter come brief.
  try {
    OpenOptions o;
    o.lastChapterOnly = true;
    auto a = Archive::open(path, password, o);
    std::vector<size_t> all(a->members().size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    Sink sink;
    a->read(all, sink, true);
  } catch (const JarError& e) {
    check(e);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = workFolder() + "/in.j";
  FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  readArchive(in, "");
  readArchive(in, kPassword);
  try {
    recoverHeader(in, workFolder() + "/$recover.j", kPassword, nullptr);
    readArchive(workFolder() + "/$recover.j", kPassword);
  } catch (const JarError& e) {
    check(e);
  }
  return 0;
}
