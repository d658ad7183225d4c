#include "Envelope.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Bytes.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr char kMagic[8] = {'J', 'A', 'R', '3', '2', 'E', 'N', 'V'};
constexpr size_t kSignedPart = 192;  // bytes 0..191 are signed, 192..255 are the signature
// Keeps a signature of an envelope from being valid for any other use of the same key.
constexpr char kDomain[32] = "jar32 security envelope 1";

void hashCovered(const File& file, uint64_t covered, uint8_t digest[64]) {
  crypto_generichash_state state;
  crypto_generichash_init(&state, nullptr, 0, 64);
  Bytes buffer(1 << 20);
  for (uint64_t at = 0; at < covered;) {
    const size_t want = size_t(std::min<uint64_t>(buffer.size(), covered - at));
    if (!file.readAt(at, buffer.data(), want))
      throw JarError(kCrcError, "Damaged archive: cut short before its security envelope");
    crypto_generichash_update(&state, buffer.data(), want);
    at += want;
  }
  crypto_generichash_final(&state, digest, 64);
}

/// What the signature covers: the domain, the envelope's fields and the archive's digest.
void statement(const uint8_t* envelope, const uint8_t digest[64], uint8_t out[32 + kSignedPart + 64]) {
  std::memcpy(out, kDomain, 32);
  std::memcpy(out + 32, envelope, kSignedPart);
  std::memcpy(out + 32 + kSignedPart, digest, 64);
}

void sodiumReady() {
  if (sodium_init() < 0) throw JarError(kInternal, "Cannot initialise libsodium");
}

[[noreturn]] void broken(const std::string& path, const std::string& why) {
  throw JarError(kCrcError, "The JAR SECURITY envelope of " + path + " is broken: " + why +
                                " (-he reads the archive without testing it)");
}

}  // namespace

bool hasEnvelopeMagic(const uint8_t* p) { return std::memcmp(p, kMagic, sizeof kMagic) == 0; }

void encodeEnvelopeFields(const EnvelopeFields& f, uint8_t* p) {
  std::memset(p, 0, kEnvelopeSize);
  std::memcpy(p, kMagic, sizeof kMagic);
  putU16(p + 8, 1);
  putU16(p + 10, uint16_t(kEnvelopeSize));
  p[12] = 1;  // Ed25519
  const size_t n = std::min(f.name.size(), kSignerNameMax);
  p[13] = uint8_t(n);
  putU64(p + 16, f.covered);
  putU64(p + 24, uint64_t(f.signedAt));
  std::memcpy(p + 32, f.publicKey, 32);
  std::memcpy(p + 64, f.name.data(), n);
  std::memcpy(p + kSignedPart, f.signature, 64);
}

bool decodeEnvelopeFields(const uint8_t* p, EnvelopeFields& f) {
  if (!hasEnvelopeMagic(p) || getU16(p + 8) != 1 || getU16(p + 10) != kEnvelopeSize || p[12] != 1 ||
      p[13] > kSignerNameMax || p[14] || p[15])
    return false;
  for (size_t i = 64 + p[13]; i < kSignedPart; ++i)
    if (p[i]) return false;
  f.covered = getU64(p + 16);
  f.signedAt = int64_t(getU64(p + 24));
  std::memcpy(f.publicKey, p + 32, 32);
  f.name.assign(reinterpret_cast<const char*>(p + 64), p[13]);
  std::memcpy(f.signature, p + kSignedPart, 64);
  return true;
}

void appendEnvelope(const std::string& path, const SigningKey& key, int64_t signedAt) {
  sodiumReady();
  File file = File::openRead(path);
  EnvelopeFields f;
  f.covered = file.size();
  f.signedAt = signedAt;
  std::memcpy(f.publicKey, key.publicKey, 32);
  f.name = key.name.substr(0, kSignerNameMax);
  uint8_t e[kEnvelopeSize];
  encodeEnvelopeFields(f, e);
  uint8_t digest[64], message[32 + kSignedPart + 64];
  hashCovered(file, f.covered, digest);
  statement(e, digest, message);
  crypto_sign_detached(e + kSignedPart, nullptr, message, sizeof message, key.secretKey);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) throw JarError(kWriteError, "Cannot write " + path + ": " + std::strerror(errno));
  size_t done = 0;
  while (done < sizeof e) {
    const ssize_t n = ::pwrite(fd, e + done, sizeof e - done, off_t(f.covered + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = errno;
      ::close(fd);
      throw JarError(kWriteError, "Cannot write " + path + ": " + std::strerror(err));
    }
    done += size_t(n);
  }
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  if (!synced) throw JarError(kWriteError, "Cannot flush " + path + ": " + std::strerror(errno));
}

EnvelopeInfo openEnvelope(File& file, bool test) {
  EnvelopeInfo info;
  const uint64_t size = file.size();
  uint8_t e[kEnvelopeSize];
  if (size < kEnvelopeSize || !file.readAt(size - kEnvelopeSize, e, sizeof e) || !hasEnvelopeMagic(e))
    return info;
  info.present = true;
  const uint64_t covered = size - kEnvelopeSize;
  EnvelopeFields f;
  const bool wellFormed = decodeEnvelopeFields(e, f);
  if (test) {
    if (!wellFormed) broken(file.path(), "its fields are damaged");
    if (f.covered != covered) broken(file.path(), "the archive's size is not the one signed");
    sodiumReady();
    uint8_t digest[64], message[32 + kSignedPart + 64];
    hashCovered(file, covered, digest);
    statement(e, digest, message);
    if (crypto_sign_verify_detached(f.signature, message, sizeof message, f.publicKey) != 0)
      broken(file.path(), "the archive was changed after it was signed, or the signature is forged");
    info.verified = true;
  }
  if (wellFormed) {
    std::memcpy(info.publicKey, f.publicKey, 32);
    info.signerName = f.name;
    info.signedAt = f.signedAt;
  }
  file.limitTo(covered);
  return info;
}

}  // namespace jar32
