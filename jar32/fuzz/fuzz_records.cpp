// libFuzzer target: the recovery records reader. Any input ends in "no records" or a report;
// nothing throws but JarError for I/O. Records reported free of damage must be exactly the
// records a writer makes for the bytes they cover; a repair reported complete must give bytes
// whose records (made anew) check clean.
// JAR32_FUZZ_SEEDS=<folder> writes small files with records there as a starting corpus.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FileIo.h"
#include "RecoveryRecords.h"
#include "jar32/Errors.h"

using namespace jar32;

namespace {

std::string workFolder() {
  static std::string folder = [] {
    std::string f = "/dev/shm/jar32-fuzz-rec-" + std::to_string(getpid());
    mkdir(f.c_str(), 0700);
    return f;
  }();
  return folder;
}

void writeFile(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string readFile(const std::string& path) {
  std::string bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) std::abort();
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  std::fclose(f);
  return bytes;
}

std::string withRecords(const std::string& body, unsigned share) {
  const std::string path = workFolder() + "/made.j";
  writeFile(path, body);
  appendRecoveryRecords(path, share);
  return readFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* seeds = std::getenv("JAR32_FUZZ_SEEDS");
  if (!seeds) return 0;
  int n = 0;
  for (size_t size : {1u, 96u, 4096u, 9000u, 40000u})
    for (unsigned share : {1u, 3u, 50u}) {
      std::string body = "JAR32 archive \x1AJar\x1B";
      body.push_back('\0');
      for (size_t i = 0; body.size() < size; ++i) body.push_back(char(i * 131 + size));
      body.resize(size);
      writeFile(std::string(seeds) + "/records-" + std::to_string(n++), withRecords(body, share));
    }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string in = workFolder() + "/in.j";
  writeFile(in, input);
  try {
    File checked = File::openRead(in);
    const RecordsInfo c = openRecords(checked, RecordsUse::Check);
    if (c.present && (c.coveredBytes > size || checked.size() != c.coveredBytes)) std::abort();
    if (c.present && !c.damaged() &&
        withRecords(input.substr(0, c.coveredBytes), c.share) != input) {
      std::fprintf(stderr, "records reported intact differ from the records of their bytes\n");
      std::abort();
    }
    File repaired = File::openRead(in);
    const RecordsInfo r = openRecords(repaired, RecordsUse::Repair);
    if (r.present != c.present || r.damagedBytes != c.damagedBytes) std::abort();
    if (r.present && r.repairable()) {
      std::string bytes(r.coveredBytes, '\0');
      if (!repaired.readAt(0, bytes.data(), bytes.size())) std::abort();
      writeFile(in, withRecords(bytes, r.share));
      File again = File::openRead(in);
      if (openRecords(again, RecordsUse::Check).damaged()) {
        std::fprintf(stderr, "a repair reported complete does not check clean\n");
        std::abort();
      }
    }
  } catch (const JarError& e) {
    std::fprintf(stderr, "unexpected: %s\n", e.what());
    std::abort();
  }
  return 0;
}
