// libFuzzer target: the volume-set reader. The input is cut into up to 8 files a.j, a.j01, ...
// (byte 0: how many; then a 4-byte length per file; the rest is their bytes). Opening and
// reading the set must end in data or JarError(2, 3, 6 or 9): never a crash, a hang or memory
// that grows with a count a footer claims. JAR32_FUZZ_SEEDS=<folder> writes real sets there.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Bytes.h"
#include "VolumeSet.h"
#include "jar32/Archive.h"
#include "jar32/Changes.h"

using namespace jar32;

namespace {

std::string workFolder(const char* what) {
  std::string f = "/dev/shm/jar32-fuzz-vol-" + std::to_string(getpid()) + what;
  std::filesystem::create_directories(f);
  return f;
}

struct Sink : MemberVisitor {
  bool begin(size_t, const MemberInfo&) override { return true; }
  void data(const uint8_t*, size_t) override {}
  void end(size_t, const MemberInfo&, MemberStatus) override {}
};

void check(const JarError& e) {
  if (e.exitCode != kFatal && e.exitCode != kCrcError && e.exitCode != kOpenError && e.exitCode != kNotJar) {
    std::fprintf(stderr, "unexpected exit code %d: %s\n", e.exitCode, e.what());
    std::abort();
  }
}

std::string readFile(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}

/// Real sets in the input's form: archives cut into 2 to 4 volumes.
void writeSeeds(const std::string& out) {
  const std::string dir = workFolder("-seeds");
  int n = 0;
  for (size_t data : {20000u, 40000u, 60000u}) {
    std::string content;
    uint64_t x = 88172645463325252ull + data;
    for (size_t i = 0; i < data; ++i) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      content.push_back(char(x));
    }
    const std::string src = dir + "/f.bin";
    FILE* f = std::fopen(src.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    const std::string archive = dir + "/s" + std::to_string(n) + ".j";
    SourceFile sf;
    sf.hostPath = src;
    sf.meta.name = "f.bin";
    sf.meta.size = data;
    WriteSettings s;
    s.method = 1;
    s.volumes.layout = VolumeSettings::Layout::Split;
    s.volumes.size = kMinVolumeSize;
    addFiles(archive, {sf}, AddMode::Add, false, false, ChapterCompare::SizeAndTime, s, nullptr);
    std::vector<std::string> parts;
    for (uint32_t i = 0; i < 8; ++i) {
      const std::string p = volumeName(archive, i);
      if (!std::filesystem::exists(p)) break;
      parts.push_back(readFile(p));
    }
    std::string input(1, char(parts.size()));
    for (const auto& p : parts) {
      uint8_t len[4];
      putU32(len, uint32_t(p.size()));
      input.append(reinterpret_cast<char*>(len), 4);
    }
    for (const auto& p : parts) input += p;
    FILE* o = std::fopen((out + "/set-" + std::to_string(n++)).c_str(), "wb");
    std::fwrite(input.data(), 1, input.size(), o);
    std::fclose(o);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* seeds = std::getenv("JAR32_FUZZ_SEEDS")) writeSeeds(seeds);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = workFolder("");
  if (size < 1) return 0;
  const size_t count = 1 + data[0] % 8;
  size_t at = 1;
  std::vector<size_t> lengths;
  for (size_t i = 0; i < count; ++i) {
    size_t len = 0;
    if (at + 4 <= size) len = getU32(data + at);
    at = std::min(size, at + 4);
    lengths.push_back(len);
  }
  const std::string first = dir + "/a.j";
  for (uint32_t i = 0; i < 8; ++i) ::unlink(volumeName(first, i).c_str());
  for (size_t i = 0; i < count; ++i) {
    const size_t len = std::min(lengths[i], size - at);
    FILE* f = std::fopen(volumeName(first, uint32_t(i)).c_str(), "wb");
    if (!f) return 0;
    if (len) std::fwrite(data + at, 1, len, f);
    std::fclose(f);
    at += len;
  }
  try {
    File f = openArchiveFile(first);
    Bytes buffer(64 * 1024);
    uint64_t total = 0;
    for (uint64_t pos = 0;; ) {
      const size_t got = f.readSomeAt(pos, buffer.data(), buffer.size());
      if (!got) break;
      pos += got;
      total += got;
      if (total > (64u << 20)) std::abort();  // the files hold far less
    }
  } catch (const JarError& e) {
    check(e);
  }
  try {
    auto a = Archive::open(first, "");
    std::vector<size_t> all(a->members().size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    Sink sink;
    a->read(all, sink, true);
  } catch (const JarError& e) {
    check(e);
  }
  return 0;
}
