// Password keys and the two protection methods: XChaCha20-Poly1305 (libsodium) and
// GOST 28147-89 in CTR mode with HMAC-Streebog-256, encrypt-then-MAC (libgcrypt).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace jar32 {

inline constexpr int kProtectXChaCha = 0;
inline constexpr int kProtectGost = 1;
inline constexpr size_t kSaltBytes = 16;
inline constexpr size_t kNonceBytes = 24;
inline constexpr size_t kCheckBytes = 16;
inline constexpr size_t kMaxTagBytes = 32;

/// Argon2id parameters stored in the archive header.
struct KdfParams {
  uint32_t opsLimit = 2;
  uint32_t memKiB = 64 * 1024;
  uint8_t salt[kSaltBytes] = {};
  /// Fresh random salt with the default costs.
  static KdfParams fresh();
  /// Bounds a hostile header cannot exceed (memory, time).
  bool plausible() const;
};

/// Keys derived from a password for one archive.
class Keys {
 public:
  virtual ~Keys() = default;
  /// Derives the keys (Argon2id); method is kProtectXChaCha or kProtectGost.
  static std::unique_ptr<Keys> derive(int method, const std::string& password, const KdfParams&);

  int method() const { return method_; }
  /// Value stored in the header that tells a wrong password from damage.
  const uint8_t* checkValue() const { return check_; }
  virtual size_t tagSize() const = 0;
  /// Encrypts data in place and writes tagSize() bytes of tag. The nonce must never repeat.
  virtual void seal(const uint8_t* nonce, const uint8_t* aad, size_t aadSize, uint8_t* data,
                    size_t size, uint8_t* tag) const = 0;
  /// Verifies the tag and decrypts in place; false when the data or tag was changed.
  virtual bool open(const uint8_t* nonce, const uint8_t* aad, size_t aadSize, uint8_t* data,
                    size_t size, const uint8_t* tag) const = 0;
  /// Authenticates plaintext (tagSize() bytes) without encrypting it.
  virtual void mac(const uint8_t* aad, size_t aadSize, const uint8_t* data, size_t size,
                   uint8_t* tag) const = 0;

 protected:
  int method_ = 0;
  uint8_t check_[kCheckBytes] = {};
};

/// Tests: cheaper key derivation for archives created from now on (0, 0 restores the default).
void setKdfCostForTesting(uint32_t opsLimit, uint32_t memKiB);

void randomBytes(void* out, size_t n);
bool constantTimeEqual(const uint8_t* a, const uint8_t* b, size_t n);

}  // namespace jar32
