// The signing key and the trusted keys, in the user's configuration folder.
#include <fcntl.h>
#include <pwd.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "jar32/Envelope.h"
#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr const char* kKeyFile = "/jar32-signing.key";
constexpr const char* kPublicFile = "/jar32-signing.pub";
constexpr const char* kTrustedFile = "/jar32-trusted-keys";
constexpr size_t kMaxKeyFileBytes = 1 << 20;

void sodiumReady() {
  if (sodium_init() < 0) throw JarError(kInternal, "Cannot initialise libsodium");
}

/// Makes the folder and its missing parents (new ones readable by the user only).
void makeFolders(const std::string& folder) {
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      throw JarError(kWriteError, "Cannot create the folder " + part + ": " + std::strerror(errno));
  }
}

/// The text of a small file; nothing when it does not exist.
bool readSmallFile(const std::string& path, std::string& text, struct stat* info) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT) return false;
    throw JarError(kFatal, "Cannot read " + path + ": " + std::strerror(errno));
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || uint64_t(st.st_size) > kMaxKeyFileBytes) {
    ::close(fd);
    throw JarError(kFatal, "Cannot read " + path + ": not a small regular file");
  }
  text.assign(size_t(st.st_size), '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  ::close(fd);
  text.resize(done);
  if (info) *info = st;
  return true;
}

/// The first word of every line that is neither empty nor a comment.
template <typename Fn>
void forEachKeyLine(const std::string& text, Fn fn) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string first;
    if (!(words >> first) || first[0] == '#') continue;
    std::string rest;
    std::getline(words, rest);
    if (!fn(first, rest)) return;
  }
}

/// Writes a new file under a temporary name and links it into place; false when `path`
/// appeared meanwhile (it is kept).
bool createOnce(const std::string& path, const std::string& text, unsigned mode) {
  const std::string temp = path + ".~" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) throw JarError(kWriteError, "Cannot create " + temp + ": " + std::strerror(errno));
  const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written) {
    ::unlink(temp.c_str());
    throw JarError(kWriteError, "Cannot write " + path);
  }
  const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
  const int err = errno;
  ::unlink(temp.c_str());
  if (!linked && err != EEXIST)
    throw JarError(kWriteError, "Cannot create " + path + ": " + std::strerror(err));
  return linked;
}

}  // namespace

SigningKey::~SigningKey() { sodium_memzero(secretKey, sizeof secretKey); }

std::string keyFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/tamber";
  const char* home = std::getenv("HOME");
  std::string base = home && home[0] == '/' ? home : "";
  if (base.empty())
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) base = pw->pw_dir;
  return base + "/.config/tamber";
}

std::shared_ptr<const SigningKey> loadSigningKey(const std::string& folder, const std::string& name) {
  sodiumReady();
  const std::string path = folder + kKeyFile;
  auto key = std::make_shared<SigningKey>();
  key->name = name.substr(0, kSignerNameMax);
  uint8_t seed[crypto_sign_SEEDBYTES];
  std::string text;
  struct stat st;
  if (!readSmallFile(path, text, &st)) {
    makeFolders(folder);
    randombytes_buf(seed, sizeof seed);
    const std::string hex = toHex(seed, sizeof seed);
    if (!createOnce(path, "# jar32.exe signing key (Ed25519 seed). Keep it private.\n" + hex + "\n", 0600) &&
        !readSmallFile(path, text, &st))
      throw JarError(kFatal, "Cannot read " + path);
  }
  if (!text.empty()) {
    if (st.st_uid != ::geteuid() || (st.st_mode & 077))
      throw JarError(kFatal, "The signing key " + path +
                                 " may be read or changed by other users; make it private (chmod 600)");
    bool found = false;
    forEachKeyLine(text, [&](const std::string& word, const std::string&) {
      found = fromHex(word, seed, sizeof seed);
      return false;
    });
    sodium_memzero(text.data(), text.size());
    if (!found) throw JarError(kFatal, "The signing key " + path + " does not hold a key");
  }
  crypto_sign_seed_keypair(key->publicKey, key->secretKey, seed);
  sodium_memzero(seed, sizeof seed);
  std::string existing;
  if (!readSmallFile(folder + kPublicFile, existing, nullptr))
    createOnce(folder + kPublicFile, toHex(key->publicKey, 32) + " " + key->name + "\n", 0644);
  return key;
}

bool isTrustedKey(const std::string& folder, const uint8_t publicKey[32]) {
  bool trusted = false;
  for (const char* file : {kPublicFile, kTrustedFile}) {
    std::string text;
    try {
      if (!readSmallFile(folder + file, text, nullptr)) continue;
    } catch (const JarError&) {
      continue;
    }
    forEachKeyLine(text, [&](const std::string& word, const std::string&) {
      uint8_t listed[32];
      trusted = fromHex(word, listed, sizeof listed) && sodium_memcmp(listed, publicKey, 32) == 0;
      return !trusted;
    });
    if (trusted) return true;
  }
  return false;
}

std::string keyFingerprint(const uint8_t publicKey[32]) {
  sodiumReady();
  uint8_t digest[32];
  crypto_generichash(digest, sizeof digest, publicKey, 32, nullptr, 0);
  const std::string hex = toHex(digest, 10);
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 4) {
    if (!out.empty()) out += '-';
    for (size_t k = i; k < i + 4; ++k) out += char(std::toupper(static_cast<unsigned char>(hex[k])));
  }
  return out;
}

std::string toHex(const uint8_t* data, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

bool fromHex(const std::string& text, uint8_t* out, size_t n) {
  if (text.size() != n * 2) return false;
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < n; ++i) {
    const int hi = value(text[2 * i]), lo = value(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = uint8_t(hi * 16 + lo);
  }
  return true;
}

}  // namespace jar32
