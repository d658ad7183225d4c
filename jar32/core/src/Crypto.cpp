#include "Crypto.h"

#include <gcrypt.h>
#include <sodium.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include "jar32/Errors.h"

namespace jar32 {
namespace {

constexpr size_t kMasterBytes = 64;

void initLibraries() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (sodium_init() < 0) throw JarError(kInternal, "Cannot initialise libsodium");
    if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
      gcry_check_version(nullptr);
      gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
      gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
  });
}

[[noreturn]] void gcryFail(gcry_error_t err) {
  throw JarError(kInternal, std::string("libgcrypt: ") + gcry_strerror(err));
}

void hmacStreebog(const uint8_t* key, size_t keySize, const uint8_t* a, size_t aSize,
                  const uint8_t* b, size_t bSize, uint8_t out[32]) {
  gcry_mac_hd_t h;
  gcry_error_t err = gcry_mac_open(&h, GCRY_MAC_HMAC_STRIBOG256, 0, nullptr);
  if (err) gcryFail(err);
  size_t outSize = 32;
  if ((err = gcry_mac_setkey(h, key, keySize)) || (err = gcry_mac_write(h, a, aSize)) ||
      (bSize && (err = gcry_mac_write(h, b, bSize))) || (err = gcry_mac_read(h, out, &outSize))) {
    gcry_mac_close(h);
    gcryFail(err);
  }
  gcry_mac_close(h);
}

class XChaChaKeys final : public Keys {
 public:
  explicit XChaChaKeys(const uint8_t* master) {
    method_ = kProtectXChaCha;
    derive(master, "jar32 enc", enc_, sizeof enc_);
    derive(master, "jar32 mac", macKey_, sizeof macKey_);
    derive(master, "jar32 check", check_, sizeof check_);
  }
  ~XChaChaKeys() override {
    sodium_memzero(enc_, sizeof enc_);
    sodium_memzero(macKey_, sizeof macKey_);
  }
  size_t tagSize() const override { return crypto_aead_xchacha20poly1305_ietf_ABYTES; }
  void seal(const uint8_t* nonce, const uint8_t* aad, size_t aadSize, uint8_t* data, size_t size,
            uint8_t* tag) const override {
    unsigned long long tagLen = 0;
    crypto_aead_xchacha20poly1305_ietf_encrypt_detached(data, tag, &tagLen, data, size, aad,
                                                        aadSize, nullptr, nonce, enc_);
  }
  bool open(const uint8_t* nonce, const uint8_t* aad, size_t aadSize, uint8_t* data, size_t size,
            const uint8_t* tag) const override {
    return crypto_aead_xchacha20poly1305_ietf_decrypt_detached(data, nullptr, data, size, tag, aad,
                                                               aadSize, nonce, enc_) == 0;
  }
  void mac(const uint8_t* aad, size_t aadSize, const uint8_t* data, size_t size,
           uint8_t* tag) const override {
    crypto_generichash_state st;
    crypto_generichash_init(&st, macKey_, sizeof macKey_, tagSize());
    crypto_generichash_update(&st, aad, aadSize);
    crypto_generichash_update(&st, data, size);
    crypto_generichash_final(&st, tag, tagSize());
  }

 private:
  static void derive(const uint8_t* master, const char* label, uint8_t* out, size_t n) {
    crypto_generichash(out, n, reinterpret_cast<const uint8_t*>(label), std::strlen(label), master,
                       kMasterBytes);
  }
  uint8_t enc_[crypto_aead_xchacha20poly1305_ietf_KEYBYTES];
  uint8_t macKey_[32];
};

// GOST 28147-89 (CryptoPro-A S-box) in CTR mode. Every chunk gets its own cipher key,
// HMAC(encKey, nonce), so the 64-bit counter never repeats under one key.
class GostKeys final : public Keys {
 public:
  explicit GostKeys(const uint8_t* master) {
    method_ = kProtectGost;
    uint8_t full[32];
    derive(master, "jar32 gost enc", enc_);
    derive(master, "jar32 gost mac", macKey_);
    derive(master, "jar32 gost check", full);
    std::memcpy(check_, full, kCheckBytes);
  }
  ~GostKeys() override {
    sodium_memzero(enc_, sizeof enc_);
    sodium_memzero(macKey_, sizeof macKey_);
  }
  size_t tagSize() const override { return 32; }
  void seal(const uint8_t* nonce, const uint8_t* aad, size_t aadSize, uint8_t* data, size_t size,
            uint8_t* tag) const override {
    crypt(nonce, data, size, true);
    mac(aad, aadSize, data, size, tag);
  }
  bool open(const uint8_t* nonce, const uint8_t* aad, size_t aadSize, uint8_t* data, size_t size,
            const uint8_t* tag) const override {
    uint8_t expect[32];
    mac(aad, aadSize, data, size, expect);
    if (!constantTimeEqual(expect, tag, sizeof expect)) return false;
    crypt(nonce, data, size, false);
    return true;
  }
  void mac(const uint8_t* aad, size_t aadSize, const uint8_t* data, size_t size,
           uint8_t* tag) const override {
    hmacStreebog(macKey_, sizeof macKey_, aad, aadSize, data, size, tag);
  }

 private:
  static void derive(const uint8_t* master, const char* label, uint8_t out[32]) {
    hmacStreebog(master, kMasterBytes, reinterpret_cast<const uint8_t*>(label),
                 std::strlen(label), nullptr, 0, out);
  }
  void crypt(const uint8_t* nonce, uint8_t* data, size_t size, bool encrypt) const {
    uint8_t key[32];
    hmacStreebog(enc_, sizeof enc_, nonce, kNonceBytes, nullptr, 0, key);
    gcry_cipher_hd_t h;
    gcry_error_t err = gcry_cipher_open(&h, GCRY_CIPHER_GOST28147, GCRY_CIPHER_MODE_CTR, 0);
    if (err) gcryFail(err);
    static const char kCryptoProA[] = "1.2.643.2.2.31.1";
    uint8_t counter[8] = {};
    if ((err = gcry_cipher_setkey(h, key, sizeof key)) ||
        (err = gcry_cipher_ctl(h, GCRYCTL_SET_SBOX, const_cast<char*>(kCryptoProA), 0)) ||
        (err = gcry_cipher_setctr(h, counter, sizeof counter)) ||
        (err = encrypt ? gcry_cipher_encrypt(h, data, size, nullptr, 0)
                       : gcry_cipher_decrypt(h, data, size, nullptr, 0))) {
      gcry_cipher_close(h);
      gcryFail(err);
    }
    gcry_cipher_close(h);
    sodium_memzero(key, sizeof key);
  }
  uint8_t enc_[32];
  uint8_t macKey_[32];
};

}  // namespace

namespace {
std::atomic<uint32_t> g_testOps{0}, g_testMem{0};
}

void setKdfCostForTesting(uint32_t opsLimit, uint32_t memKiB) {
  g_testOps = opsLimit;
  g_testMem = memKiB;
}

KdfParams KdfParams::fresh() {
  initLibraries();
  KdfParams p;
  if (g_testOps) {
    p.opsLimit = g_testOps;
    p.memKiB = g_testMem;
  }
  randomBytes(p.salt, sizeof p.salt);
  return p;
}

bool KdfParams::plausible() const {
  return opsLimit >= 1 && opsLimit <= 8 && memKiB >= 8 && memKiB <= 256 * 1024;
}

std::unique_ptr<Keys> Keys::derive(int method, const std::string& password, const KdfParams& p) {
  initLibraries();
  if (!p.plausible()) throw JarError(kCrcError, "Damaged archive: bad key parameters");
  std::vector<uint8_t> master(kMasterBytes);
  if (crypto_pwhash(master.data(), master.size(), password.data(), password.size(), p.salt,
                    p.opsLimit, size_t(p.memKiB) * 1024, crypto_pwhash_ALG_ARGON2ID13) != 0)
    throw JarError(kNoMemory, "Not enough memory to derive the key");
  std::unique_ptr<Keys> keys;
  if (method == kProtectXChaCha) keys = std::make_unique<XChaChaKeys>(master.data());
  else if (method == kProtectGost) keys = std::make_unique<GostKeys>(master.data());
  sodium_memzero(master.data(), master.size());
  if (!keys) throw JarError(kCrcError, "Damaged archive: unknown protection method");
  return keys;
}

void randomBytes(void* out, size_t n) {
  initLibraries();
  randombytes_buf(out, n);
}

bool constantTimeEqual(const uint8_t* a, const uint8_t* b, size_t n) {
  return sodium_memcmp(a, b, n) == 0;
}

}  // namespace jar32
