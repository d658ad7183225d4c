// libFuzzer target: the security envelope reader. Any input ends in "no envelope", a verified
// envelope or JarError(kCrcError). A verified one must be one of the envelopes this target
// signed itself (a fixed key over fixed archives): nothing else may pass the test.
// JAR32_FUZZ_SEEDS=<folder> writes those signed files there as a starting corpus.
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "Envelope.h"
#include "FileIo.h"
#include "jar32/Archive.h"

using namespace jar32;

namespace {

std::string workFolder() {
  static std::string folder = [] {
    std::string f = "/dev/shm/jar32-fuzz-env-" + std::to_string(getpid());
    mkdir(f.c_str(), 0700);
    return f;
  }();
  return folder;
}

std::string digestOf(const uint8_t* data, size_t size) {
  uint8_t d[32];
  crypto_generichash(d, sizeof d, data, size, nullptr, 0);
  return std::string(reinterpret_cast<char*>(d), sizeof d);
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

std::set<std::string>& signedFiles() {
  static std::set<std::string> digests;
  return digests;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (sodium_init() < 0) std::abort();
  SigningKey key;
  uint8_t seed[32];
  for (size_t i = 0; i < sizeof seed; ++i) seed[i] = uint8_t(0x42 + i);
  crypto_sign_seed_keypair(key.publicKey, key.secretKey, seed);
  key.name = "Fuzz Signer";
  const char* seeds = std::getenv("JAR32_FUZZ_SEEDS");
  int n = 0;
  for (size_t size : {0u, 1u, 95u, 96u, 300u, 4096u, 70000u}) {
    std::string body = "JAR32 archive \x1AJar\x1B";
    body.push_back('\0');
    for (size_t i = 0; body.size() < size; ++i) body.push_back(char(i * 131 + size));
    const std::string path = workFolder() + "/seed.j";
    writeFile(path, body);
    appendEnvelope(path, key, 1700000000 + int64_t(size));
    const std::string signedBytes = readFile(path);
    signedFiles().insert(digestOf(reinterpret_cast<const uint8_t*>(signedBytes.data()), signedBytes.size()));
    if (seeds) writeFile(std::string(seeds) + "/envelope-" + std::to_string(n++), signedBytes);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = workFolder() + "/in.j";
  writeFile(in, std::string(reinterpret_cast<const char*>(data), size));
  for (bool test : {true, false}) {
    try {
      File f = File::openRead(in);
      const EnvelopeInfo info = openEnvelope(f, test);
      if (info.verified && !signedFiles().count(digestOf(data, size))) {
        std::fprintf(stderr, "an envelope that was never signed verified\n");
        std::abort();
      }
      if (info.present && f.size() != size - kEnvelopeSize) std::abort();
      if (!info.present && f.size() != size) std::abort();
    } catch (const JarError& e) {
      if (e.exitCode != kCrcError) std::abort();
    }
  }
  try {
    auto a = Archive::open(in, "");
  } catch (const JarError& e) {
    if (e.exitCode != kCrcError && e.exitCode != kNotJar && e.exitCode != kFatal) std::abort();
  }
  return 0;
}
